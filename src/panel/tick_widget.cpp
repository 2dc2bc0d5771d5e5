#include "panel/tick_widget.h"

#include <GL/gl.h>

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
