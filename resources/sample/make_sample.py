#!/usr/bin/env python3
"""Makes the sample panorama that a fresh installation opens: a sky with a sun and clouds
above a horizon marked FRONT, RIGHT, BACK and LEFT, and a meadow with a grid and a compass
rose underfoot whose front points the way FRONT lies.

    resources/sample/make_sample.py [BUILD_DIR]      (BUILD_DIR defaults to ./build)

It draws a 4096 x 2048 spherical (equirectangular) picture, then lets the program's own
converter cut it into six 1024 x 1024 faces, so the faces land where the program looks for
them: build/bin/domecast-cli convert ... into the VRML Background PNG layout, written here as
sample.wrl and sample_FR.png ... sample_DN.png. The result is committed; builds never run this.

Needs python3, rsvg-convert (Debian librsvg2-bin) for the lettering and the rose, and the
DejaVu Sans font. Longitude 0 is the middle column of the spherical picture and the Front face;
longitude grows to the right, so Right is at three quarters of the width and Back at the edges.
"""
import math
import os
import random
import struct
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, '..', 'art'))
from png2res import read_png  # noqa: E402

WIDTH, HEIGHT = 4096, 2048
EYE = 1.6            # eye height above the ground, in grid squares
ROSE_RADIUS = 1.5    # the rose's radius on the ground, in grid squares: it fills a downward view
SKY_TOP, SKY_HORIZON = (52, 116, 200), (204, 228, 246)
GRASS_NEAR, GRASS_FAR = (122, 165, 86), (168, 190, 150)
GRID = (226, 238, 200)
HILLS = (118, 150, 138)


def mix(a, b, t):
    return tuple(int(round(x + (y - x) * t)) for x, y in zip(a, b))


def smooth(edge0, edge1, x):
    t = max(0.0, min(1.0, (x - edge0) / (edge1 - edge0)))
    return t * t * (3 - 2 * t)


def latitude(row):
    """Latitude in radians of the centre of a picture row counted from the top."""
    return math.pi / 2 - (row + 0.5) * math.pi / HEIGHT


def column(longitude_degrees):
    return (longitude_degrees / 360 + 0.5) * WIDTH


def render_svg(svg, folder, name):
    source = os.path.join(folder, name + '.svg')
    target = os.path.join(folder, name + '.png')
    with open(source, 'w') as f:
        f.write(svg)
    subprocess.run(['rsvg-convert', source, '-o', target], check=True)
    return read_png(target)


def label_svg(word):
    return f'''<svg xmlns="http://www.w3.org/2000/svg" width="640" height="150">
  <text x="320" y="118" text-anchor="middle" font-family="DejaVu Sans" font-weight="bold"
        font-size="112" letter-spacing="6" fill="#ffffff" stroke="#28415f" stroke-width="10"
        stroke-linejoin="round" paint-order="stroke">{word}</text>
</svg>'''


def rose_svg():
    """The rose seen from above with Front at the top and Right at the right; each letter's
    top points outwards, so it reads upright when the viewer faces that way and looks down."""
    points = []
    for i in range(16):
        angle = i * 22.5
        long_point = i % 4 == 0
        tip = 360 if long_point else (270 if i % 2 == 0 else 200)
        half = 58 if long_point else 32
        colour = '#f2b544' if i == 0 else ('#fdfbf4' if long_point else '#e4e9ee')
        shade = '#b9802a' if i == 0 else '#9aa6b3'
        points.append(f'<g transform="rotate({angle} 512 512)">'
                      f'<path d="M512 {512 - tip} L{512 + half} 512 L512 512 Z" fill="{shade}"/>'
                      f'<path d="M512 {512 - tip} L{512 - half} 512 L512 512 Z" fill="{colour}"/></g>')
    # Draw the small points first so the main ones lie on top.
    points = points[1::2] + [points[i] for i in (2, 6, 10, 14)] + [points[i] for i in (4, 8, 12, 0)]
    letters = ''.join(
        f'<text transform="rotate({angle} 512 512)" x="512" y="126" text-anchor="middle"'
        f' font-family="DejaVu Sans" font-weight="bold" font-size="104" fill="{fill}"'
        f' stroke="#28415f" stroke-width="8" stroke-linejoin="round" paint-order="stroke">{letter}</text>'
        for angle, letter, fill in ((0, 'F', '#f2b544'), (90, 'R', '#ffffff'), (180, 'B', '#ffffff'),
                                    (270, 'L', '#ffffff')))
    return f'''<svg xmlns="http://www.w3.org/2000/svg" width="1024" height="1024">
  <circle cx="512" cy="512" r="500" fill="#f6f1e0" fill-opacity="0.55" stroke="#28415f" stroke-width="10"/>
  <circle cx="512" cy="512" r="370" fill="none" stroke="#28415f" stroke-width="5" stroke-opacity="0.7"/>
  <circle cx="512" cy="512" r="220" fill="none" stroke="#28415f" stroke-width="4" stroke-opacity="0.5"/>
  <g stroke="#28415f" stroke-width="6">{''.join(
        f'<path transform="rotate({a} 512 512)" d="M512 12 V{40 if a % 30 == 0 else 28}"/>'
        for a in range(0, 360, 10) if a % 90)}</g>
  <g stroke="#28415f" stroke-width="3" stroke-linejoin="round">{''.join(points)}</g>
  <circle cx="512" cy="512" r="26" fill="#28415f"/>
  <circle cx="512" cy="512" r="14" fill="#f2b544"/>
  {letters}
</svg>'''


def draw(folder):
    rows = [bytearray(3 * WIDTH) for _ in range(HEIGHT)]
    longitudes = [((x + 0.5) / WIDTH - 0.5) * 2 * math.pi for x in range(WIDTH)]
    sin_lon = [math.sin(v) for v in longitudes]
    cos_lon = [math.cos(v) for v in longitudes]

    # Sky: a gradient by latitude, paler towards the horizon.
    for y in range(HEIGHT // 2):
        t = smooth(0, 1, math.sin(latitude(y)) ** 0.6)
        rows[y][:] = bytes(mix(SKY_HORIZON, SKY_TOP, t)) * WIDTH

    def blend(x, y, colour, alpha):
        row = rows[y]
        i = 3 * (x % WIDTH)
        for c in range(3):
            row[i + c] = int(row[i + c] + (colour[c] - row[i + c]) * alpha + 0.5)

    # The sun, front right and high, with a soft glow.
    sun_lon, sun_lat, sun_radius = 35.0, 38.0, 3.6
    sx, sy = column(sun_lon), (90 - sun_lat) / 180 * HEIGHT
    reach = int(6 * sun_radius / 360 * WIDTH / math.cos(math.radians(sun_lat)))
    for y in range(int(sy - reach), int(sy + reach)):
        lat = latitude(y)
        for x in range(int(sx - reach), int(sx + reach)):
            lon = longitudes[x % WIDTH]
            # Angle between the pixel's direction and the sun's, in degrees.
            cosine = (math.sin(lat) * math.sin(math.radians(sun_lat)) + math.cos(lat)
                      * math.cos(math.radians(sun_lat)) * math.cos(lon - math.radians(sun_lon)))
            angle = math.degrees(math.acos(max(-1.0, min(1.0, cosine))))
            if angle < sun_radius + 0.3:
                blend(x, y, (255, 236, 170), smooth(sun_radius + 0.3, sun_radius - 0.3, angle))
            elif angle < 6 * sun_radius:
                blend(x, y, (255, 246, 214), 0.55 * (1 - angle / (6 * sun_radius)) ** 2)

    # Clouds: clusters of soft puffs, widened with latitude so they keep their shape on screen.
    random.seed(19)
    for _ in range(24):
        lon, lat = random.uniform(-180, 180), random.uniform(8, 42)
        size = random.uniform(3.0, 5.5) * (1.2 - lat / 70)
        stretch = 1 / math.cos(math.radians(lat))
        for _ in range(random.randint(5, 9)):
            plon = lon + random.uniform(-2.2, 2.2) * size * stretch
            plat = lat + random.uniform(-0.25, 0.45) * size
            rx, ry = size * random.uniform(0.8, 1.3) * stretch, size * random.uniform(0.45, 0.7)
            cx, cy = column(plon), (90 - plat) / 180 * HEIGHT
            px, py = rx / 360 * WIDTH, ry / 180 * HEIGHT
            for y in range(int(cy - py), int(cy + py) + 1):
                for x in range(int(cx - px), int(cx + px) + 1):
                    d = ((x + 0.5 - cx) / px) ** 2 + ((y + 0.5 - cy) / py) ** 2
                    if d < 1:
                        # Lit from above: the lower part of each puff is a little grey.
                        tone = mix((255, 255, 255), (214, 224, 236), smooth(-0.2, 1, (y - cy) / py))
                        blend(x, y, tone, 0.9 * smooth(1, 0.55, d))

    # Low hills along the horizon; their outline repeats around the circle.
    for x in range(WIDTH):
        lon = longitudes[x]
        height = 1.2 + 0.9 * math.sin(3 * lon + 1) + 0.6 * math.sin(7 * lon + 2) + 0.3 * math.sin(17 * lon)
        top = HEIGHT / 2 - max(0.3, height) / 180 * HEIGHT
        for y in range(int(top), HEIGHT // 2):
            cover = min(1.0, y + 1 - top)
            shade = mix(HILLS, (150, 176, 160), (HEIGHT / 2 - y) / (HEIGHT / 2 - top + 1) * 0.6)
            blend(x, y, shade, cover)

    # The ground: the meadow seen on a plane EYE below the eye, with a grid of unit squares
    # that fades with distance before it can flicker, and the rose under the viewer.
    rose_w, rose_h, rose = render_svg(rose_svg(), folder, 'rose')
    line_half_width = 0.025
    for y in range(HEIGHT // 2, HEIGHT):
        lat = latitude(y)
        distance = EYE * math.cos(lat) / -math.sin(lat)
        grass = mix(GRASS_NEAR, GRASS_FAR, smooth(3, 60, distance))
        row = rows[y]
        row[:] = bytes(grass) * WIDTH
        fade = smooth(16, 7, distance)
        if fade <= 0:
            continue
        # How much ground one pixel covers across and along the line of sight.
        across = distance * 2 * math.pi / WIDTH
        along = (distance * distance + EYE * EYE) / EYE * math.pi / HEIGHT
        footprint = max(across, along)
        on_rose = distance < ROSE_RADIUS
        for x in range(WIDTH):
            gx, gz = distance * sin_lon[x], -distance * cos_lon[x]
            dx, dz = abs(gx - round(gx)), abs(gz - round(gz))
            cover = max(smooth(line_half_width + footprint, line_half_width, dx),
                        smooth(line_half_width + footprint, line_half_width, dz))
            if cover > 0:
                blend(x, y, GRID, 0.6 * cover * fade)
            if on_rose:
                # Rose picture: Front (-Z) at its top, Right (+X) at its right.
                u = int((gx / ROSE_RADIUS + 1) / 2 * rose_w)
                v = int((gz / ROSE_RADIUS + 1) / 2 * rose_h)
                if 0 <= u < rose_w and 0 <= v < rose_h:
                    r, g, b, a = rose[v][u]
                    if a:
                        blend(x, y, (r, g, b), a / 255)

    # The four directions on the horizon, just above the hills.
    for word, lon in (('FRONT', 0), ('RIGHT', 90), ('BACK', 180), ('LEFT', -90)):
        w, h, sprite = render_svg(label_svg(word), folder, word.lower())
        x0 = int(column(lon) - w / 2)
        y0 = int(HEIGHT / 2 - 5.2 / 180 * HEIGHT) - h
        for j in range(h):
            for i in range(w):
                r, g, b, a = sprite[j][i]
                if a:
                    blend(x0 + i, y0 + j, (r, g, b), a / 255)
    return rows


def write_bmp(path, rows):
    with open(path, 'wb') as f:
        size = 3 * WIDTH * HEIGHT
        f.write(b'BM' + struct.pack('<IHHI', 54 + size, 0, 0, 54))
        f.write(struct.pack('<IiiHHIIiiII', 40, WIDTH, HEIGHT, 1, 24, 0, size, 2835, 2835, 0, 0))
        for row in reversed(rows):
            # BMP pixels are B, G, R; the width is a multiple of 4, so rows need no padding.
            swapped = bytearray(row)
            swapped[0::3], swapped[2::3] = row[2::3], row[0::3]
            f.write(swapped)


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else 'build'
    cli = os.path.join(build, 'bin', 'domecast-cli')
    with tempfile.TemporaryDirectory() as folder:
        sphere = os.path.join(folder, 'sample.bmp')
        write_bmp(sphere, draw(folder))
        for name in os.listdir(HERE):
            if name.startswith('sample') and name.endswith(('.png', '.wrl')):
                os.remove(os.path.join(HERE, name))
        subprocess.run([cli, 'convert', sphere, os.path.join(HERE, 'sample.wrl'),
                        '--from', 'LivePicture, SPHERE/CYLINDER, BMP', '--to', 'VRML Background, PNG'],
                       check=True)


if __name__ == '__main__':
    main()
