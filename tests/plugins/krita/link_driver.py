"""Drives the Krita plug-in's link module (domecast_link, on PYTHONPATH) from the command
line, with pictures in binary PPM files, for the tests against the real editor:

  get-view OUT.ppm WIDTH HEIGHT   the editor's view into OUT.ppm
  send IN.ppm                     IN.ppm painted onto the panorama
  turn DIRECTION IN.ppm OUT.ppm   IN.ppm sent, the view turned, the new view into OUT.ppm

A view's heading and pitch (radians) are printed on standard output; a refusal is printed on
standard error, with exit status 1.
"""
import sys

import domecast_link


def read_ppm(path):
    with open(path, "rb") as f:
        data = f.read()
    fields, position = [], 0
    while len(fields) < 4:
        while data[position:position + 1].isspace():
            position += 1
        if data[position:position + 1] == b"#":
            position = data.index(b"\n", position)
            continue
        end = position
        while not data[end:end + 1].isspace():
            end += 1
        fields.append(data[position:end])
        position = end
    if fields[0] != b"P6" or fields[3] != b"255":
        raise ValueError("not an 8-bit binary PPM: " + path)
    width, height = int(fields[1]), int(fields[2])
    return data[position + 1:position + 1 + width * height * 3], width, height


def write_view(view, path):
    with open(path, "wb") as f:
        f.write(b"P6\n%d %d\n255\n" % (view.width, view.height))
        f.write(view.rgb)
    print(view.heading, view.pitch)


def main(arguments):
    command = arguments[0]
    try:
        if command == "get-view":
            with domecast_link.Link() as link:
                write_view(link.get_view(int(arguments[2]), int(arguments[3])), arguments[1])
        elif command == "send":
            pixels, width, height = read_ppm(arguments[1])
            with domecast_link.Link(may_start=True) as link:
                link.send(pixels, width, height)
        elif command == "turn":
            pixels, width, height = read_ppm(arguments[2])
            with domecast_link.Link() as link:
                write_view(link.turn(arguments[1], pixels, width, height), arguments[3])
        else:
            print("unknown command " + command, file=sys.stderr)
            return 2
    except domecast_link.LinkError as error:
        print(error, file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
