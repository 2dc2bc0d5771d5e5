#include "panel/tick_widget.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <cstring>

TickWidget::~TickWidget() = default;

void TickWidget::setTicks(float x, float y) {
    tickX = x;
    tickY = y;
}

std::optional<TickTriangles> tickTriangles(Size extent, float tickX, float tickY) {
    if (!(tickX >= -1.0f && tickX <= 1.0f && tickY >= -1.0f && tickY <= 1.0f)) return std::nullopt;
    const float w = static_cast<float>(extent.width), h = static_cast<float>(extent.height);
    // The tick tips travel 6.5 pixels in from the ends of their edges, half a tick's width.
    const float a = (w - 13.0f) * (tickX + 1.0f) * 0.5f + 6.5f;
    const float b = (h - 13.0f) * (tickY + 1.0f) * 0.5f + 6.5f;
    return TickTriangles{{
        {{{a, 0}, {a + 6.5f, 13}, {a - 6.5f, 13}}},
        {{{w, b}, {w - 13, b + 6.5f}, {w - 13, b - 6.5f}}},
        {{{a, 0}, {a + 4.5f, 11}, {a - 4.5f, 11}}},
        {{{w, b}, {w - 11, b + 4.5f}, {w - 11, b - 4.5f}}},
    }};
}

void TickWidget::draw(Size windowSize, int) {
    const std::optional<TickTriangles> triangles = tickTriangles(extent, tickX, tickY);
    if (!triangles) return;
    Point p;
    resolvePosition(windowSize, p);
    glPushMatrix();
    glTranslatef(static_cast<GLfloat>(p.x), static_cast<GLfloat>(p.y), 0.0f);
    glBegin(GL_TRIANGLES);
    for (std::size_t t = 0; t < triangles->size(); ++t) {
        const GLfloat shade = t < 2 ? 0.0f : 1.0f;
        glColor3f(shade, shade, shade);
        for (const TickVertex& v : (*triangles)[t]) glVertex2f(v.x, v.y);
    }
    glEnd();
    glPopMatrix();
}

namespace {
// Twice the signed area of (a, b, p): positive when p lies left of the line from a to b.
float edge(const TickVertex& a, const TickVertex& b, float px, float py) {
    return (b.x - a.x) * (py - a.y) - (b.y - a.y) * (px - a.x);
}
}  // namespace

void paintTicks(const PixelRows& rows, float tickX, float tickY) {
    const std::optional<TickTriangles> triangles = tickTriangles(rows.size(), tickX, tickY);
    if (!triangles || rows.bottom == nullptr) return;
    // The drawing origin is shifted by 0.375, so pixel (i, j) is sampled at (i + 0.125, j + 0.125).
    constexpr float sampleOffset = 0.125f;
    for (std::size_t t = 0; t < triangles->size(); ++t) {
        const auto& [v0, v1, v2] = (*triangles)[t];
        const std::uint8_t shade = t < 2 ? 0 : 255;
        const float area = edge(v0, v1, v2.x, v2.y);
        if (area == 0) continue;
        const float sign = area > 0 ? 1.0f : -1.0f;
        const float minX = std::min({v0.x, v1.x, v2.x}), maxX = std::max({v0.x, v1.x, v2.x});
        const float minY = std::min({v0.y, v1.y, v2.y}), maxY = std::max({v0.y, v1.y, v2.y});
        const int x0 = std::max(0, static_cast<int>(std::floor(minX - sampleOffset)));
        const int x1 = std::min(rows.width - 1, static_cast<int>(std::ceil(maxX - sampleOffset)));
        const int y0 = std::max(0, static_cast<int>(std::floor(minY - sampleOffset)));
        const int y1 = std::min(rows.height - 1, static_cast<int>(std::ceil(maxY - sampleOffset)));
        for (int j = y0; j <= y1; ++j) {
            std::uint8_t* row = rows.row(j);
            const float py = static_cast<float>(j) + sampleOffset;
            for (int i = x0; i <= x1; ++i) {
                const float px = static_cast<float>(i) + sampleOffset;
                if (sign * edge(v0, v1, px, py) < 0 || sign * edge(v1, v2, px, py) < 0 ||
                    sign * edge(v2, v0, px, py) < 0)
                    continue;
                std::memset(row + static_cast<std::ptrdiff_t>(i) * rows.bytesPerPixel, shade, 3);
            }
        }
    }
}
