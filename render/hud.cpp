// hud.cpp -- the head-up display: the cockpit frame with its right panel,
// the red labels, the health gauge, the overview map around the player, the
// message line, and (with showMap) the large map of the whole level.
//
// Everything is flat drawing in window pixels: origin at the lower-left
// corner, x to the right, y up. Layout values are fractions of the window so
// that the display follows a resize.
#include <GL/freeglut.h>
#include <GL/gl.h>
#include <GL/glu.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "render/help.h"
#include "render/render.h"

namespace {

constexpr float kPi = 3.14159265358979f;
constexpr float kGaugeRadius = 40.0f;       // pixels at 640 x 480
constexpr float kMapReach = 60.0f;          // world units shown each side of the player
constexpr float kFrameAngleStep = 0.15707964f;  // radians per corner-fan step
constexpr int kFrameSteps = 10;             // 10 steps: a quarter circle
constexpr float kPanelFraction = 0.4f;      // of the half width: the right fifth

// The gauge's dial and hub for a radius, as display lists built on first
// use from one quadric that is then released: no frame allocates anything.
struct GaugeLists {
    float radius = -1.0f;
    unsigned int dial = 0;  // list numbers; hub = dial + 1
};
GaugeLists gaugeLists;

unsigned int gaugeDialList(float radius) {
    if (gaugeLists.dial != 0 && gaugeLists.radius == radius) return gaugeLists.dial;
    if (gaugeLists.dial == 0) gaugeLists.dial = glGenLists(2);
    gaugeLists.radius = radius;
    GLUquadric* q = gluNewQuadric();
    gluQuadricDrawStyle(q, GLU_FILL);
    gluQuadricNormals(q, GLU_FLAT);
    glNewList(gaugeLists.dial, GL_COMPILE);
    gluPartialDisk(q, 0.2 * radius, radius, 20, 4, 270.0, 180.0);
    glEndList();
    glNewList(gaugeLists.dial + 1, GL_COMPILE);
    gluDisk(q, 0.0, 0.2 * radius, 20, 4);
    glEndList();
    gluDeleteQuadric(q);
    return gaugeLists.dial;
}

// Corner fan from (ox, oy) through n + 1 points (x0 + sx r cos a, y0 + sy r sin a),
// as the fan's own triangles, into a batch begun with GL_TRIANGLES.
void cornerFan(float ox, float oy, float x0, float y0, float sx, float sy, float r, float step,
               int n) {
    float px = x0 + sx * r, py = y0;
    for (int k = 1; k <= n; ++k) {
        const float a = static_cast<float>(k) * step;
        const float qx = x0 + sx * r * std::cos(a), qy = y0 + sy * r * std::sin(a);
        glVertex2f(ox, oy);
        glVertex2f(px, py);
        glVertex2f(qx, qy);
        px = qx, py = qy;
    }
}

// A rectangle as two triangles, into a batch begun with GL_TRIANGLES.
void rectangle(float x0, float y0, float x1, float y1) {
    glVertex2f(x0, y0);
    glVertex2f(x1, y0);
    glVertex2f(x1, y1);
    glVertex2f(x0, y0);
    glVertex2f(x1, y1);
    glVertex2f(x0, y1);
}

// One pass of the frame (see drawFrame). With `coveredBy` > 0 a thinner pass
// of that thickness will be drawn over this one: its bars then keep only
// their inner strips, from a pixel inside the thinner pass's edge, and the
// panel is left out, since the thinner pass covers the rest anyway.
void framePass(float cx, float cy, float t, float f, float r, float step, int n, float coveredBy) {
    const float b = t + 0.1f * cy;  // the bottom bar is taller
    const float x1 = (1.0f - f) * cx;
    glPushMatrix();
    glTranslatef(cx, cy, 0.0f);
    glBegin(GL_TRIANGLES);
    // Top left and bottom left corners.
    cornerFan(-cx, cy, -cx + t + r, cy - t - r, -1.0f, 1.0f, r, step, n);
    cornerFan(-cx, -cy, -cx + t + r, -cy + b + r, -1.0f, -1.0f, r, step, n);
    if (coveredBy > 0.0f) {
        const float c = coveredBy - 1.0f;
        const float bc = coveredBy + 0.1f * cy - 1.0f;
        rectangle(-cx + c, -cy, -cx + t, cy);        // left bar
        rectangle(-cx, -cy + bc, cx, -cy + b);       // bottom bar
        rectangle(x1 - t, -cy, x1 - c, cy);          // the panel's edge bar
        rectangle(-cx, cy - t, cx, cy - c);          // top bar
    } else {
        rectangle(x1, -cy, cx, cy);            // right panel
        rectangle(-cx, -cy, -cx + t, cy);      // left bar
        rectangle(-cx, -cy, cx, -cy + b);      // bottom bar
        rectangle(x1 - t, -cy, x1, cy);        // the panel's edge bar
        rectangle(-cx, cy - t, cx, cy);        // top bar
    }
    glEnd();
    // The right corners sit at the panel's edge.
    glTranslatef(-f * cx, 0.0f, 0.0f);
    glBegin(GL_TRIANGLES);
    cornerFan(cx, -cy, cx - t - r, -cy + b + r, 1.0f, -1.0f, r, step, n);
    cornerFan(cx, cy, cx - t - r, cy - t - r, 1.0f, 1.0f, r, step, n);
    glEnd();
    glPopMatrix();
}

void quad(float x0, float y0, float x1, float y1) {
    glVertex2f(x0, y0);
    glVertex2f(x1, y0);
    glVertex2f(x1, y1);
    glVertex2f(x0, y1);
}

// One map square of side `size` about (x, y), inside glBegin(GL_QUADS).
void mapSquare(float x, float y, float size) {
    const float h = 0.5f * size;
    glVertex3f(x - h, y - h, 0.5f);
    glVertex3f(x + h, y - h, 0.5f);
    glVertex3f(x + h, y + h, 0.5f);
    glVertex3f(x - h, y + h, 0.5f);
}

}  // namespace

ViewOpening viewOpening(float w, float h) {
    const float t = 0.015f * h;
    return ViewOpening{t, t + 0.05f * h, (1.0f - 0.2f) * w - t, h - t};
}

float hudScale(float width, float height) {
    const float s = std::min(height / 480.0f, width / 640.0f);
    return std::isfinite(s) ? std::max(0.5f, s) : 1.0f;
}

void drawFrame(float cx, float cy, float t, float f, float r, float step, int n) {
    framePass(cx, cy, t, f, r, step, n, 0.0f);
}

void drawHudFrame(float w, float h) {
    const float cx = w * 0.5f, cy = h * 0.5f;
    const float t = 0.03f * cy, r = 0.2f * cy;
    glDisable(GL_LIGHTING);
    // A grey frame with a teal band of 0.3 t along its inner edge: the
    // thicker teal frame first, only its inner strips, then the thinner grey
    // one over it. Both lie in front of the scene's depth values, and the
    // depth buffer is cleared after the frame, so they are drawn without the
    // depth test; their colours are opaque, so without blending. The pixels
    // are those of two depth-tested, blended passes at about half the fill.
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_BLEND);
    glColor3f(0.1f, 0.5f, 0.5f);
    framePass(cx, cy, t, kPanelFraction, r, kFrameAngleStep, kFrameSteps, 0.7f * t);
    glColor3f(0.1f, 0.1f, 0.1f);
    drawFrame(cx, cy, 0.7f * t, kPanelFraction, r, kFrameAngleStep, kFrameSteps);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_LIGHTING);
}

void drawHealthGauge(float radius, float fraction, bool withHub, int32_t clockMs) {
    // Full health points right, none left; outside 0..1 the needle swings
    // below the horizontal. A health that is not a number has no direction:
    // the dial is drawn without a needle.
    const float a = (1.0f - fraction) * kPi;
    const float x = radius * std::cos(a), y = radius * std::sin(a);
    if (std::isfinite(x) && std::isfinite(y)) {
        glColor3f(1.0f, 1.0f, 0.0f);
        glBegin(GL_LINES);
        glVertex3f(0.25f * x, 0.25f * y, 1.0f);
        glVertex3f(0.9f * x, 0.9f * y, 1.0f);
        glEnd();
    }
    const unsigned int dial = gaugeDialList(radius);
    glColor3f(0.1f, 0.0f, 0.0f);
    glCallList(dial);
    if (withHub) {
        // Blinks once a second: red on odd calendar seconds, green on even.
        // The pass's clock reading (whose minute has an even number of
        // seconds) keeps one frame's picture to one instant.
        if ((clockMs / 1000) % 2 != 0) glColor3f(1.0f, 0.0f, 0.0f);
        else glColor3f(0.0f, 1.0f, 0.0f);
        glCallList(dial + 1);
    }
}

void drawOverviewMap(const GameState& world, const Fighter& f) {
    const float px = f.pos.x, py = f.pos.y;
    glDisable(GL_LIGHTING);

    // Seen along z in this projection a unit cube scaled by (s, s, 1) is an
    // s x s square whose front face lies at z = 0.5: the squares are drawn as
    // such faces, all in one batch, with the depth test deciding as for cubes.
    glBegin(GL_QUADS);
    glColor4f(0.0f, 1.0f, 0.0f, 0.5f);
    mapSquare(0.0f, 0.0f, 3.0f);

    // Each square is centred on its cell's lower-left grid corner. The loops
    // stop at the table's edge whatever the map's size claims.
    const float cs = maze.cellSize;
    const int rows = std::clamp(maze.rows, 0, kMaxMazeSize);
    const int cols = std::clamp(maze.cols, 0, kMaxMazeSize);
    for (int r = 0; r < rows; ++r) {
        const float dy = static_cast<float>(r) * cs - py;
        if (!(dy > -kMapReach && dy < kMapReach)) continue;
        for (int k = 0; k < cols; ++k) {
            const float dx = static_cast<float>(k) * cs - px;
            if (!(dx > -kMapReach && dx < kMapReach)) continue;
            if (maze.cells[r][k] != 0) glColor4f(1.0f, 1.0f, 0.0f, 0.8f);
            else glColor4f(0.2f, 0.2f, 0.2f, 0.8f);
            mapSquare(dx, dy, cs);
        }
    }
    glEnd();

    for (const Prey& p : world.preyList) {
        const float x = p.pos.x, y = p.pos.y;
        if (!(px - kMapReach < x && x < px + kMapReach && py - kMapReach < y && y < py + kMapReach))
            continue;
        glPushMatrix();
        glColor3f(1.0f, 0.0f, 0.0f);
        glTranslatef(x - px, y - py, 0.0f);
        glScalef(2.0f, 2.0f, 1.0f);
        glutSolidSphere(1.0, 5, 5);
        glPopMatrix();
    }
    glDisable(GL_BLEND);
}

void drawLargeMap(const GameState& world, float w, float h) {
    const ViewOpening o = viewOpening(w, h);
    const int rows = std::clamp(maze.rows, 0, kMaxMazeSize);
    const int cols = std::clamp(maze.cols, 0, kMaxMazeSize);
    const float cs = maze.cellSize;
    const float ow = o.x1 - o.x0, oh = o.y1 - o.y0;
    if (rows == 0 || cols == 0 || !(cs > 0.0f) || !(ow > 0.0f) || !(oh > 0.0f)) return;

    // The whole level, as large as the opening allows, centred in it; one
    // square per cell covering the cell itself.
    const float scale = std::min(ow / (static_cast<float>(cols) * cs),
                                 oh / (static_cast<float>(rows) * cs));
    const float cell = cs * scale;
    const float left = o.x0 + 0.5f * (ow - cell * static_cast<float>(cols));
    const float bottom = o.y0 + 0.5f * (oh - cell * static_cast<float>(rows));
    const float right = left + cell * static_cast<float>(cols);
    const float top = bottom + cell * static_cast<float>(rows);

    glDisable(GL_LIGHTING);
    glDisable(GL_DEPTH_TEST);
    // A dark margin where the level does not reach the opening's edges.
    glColor3f(0.0f, 0.0f, 0.08f);
    glBegin(GL_QUADS);
    quad(o.x0, o.y0, left, o.y1);
    quad(right, o.y0, o.x1, o.y1);
    quad(left, o.y0, right, bottom);
    quad(left, top, right, o.y1);
    glEnd();

    glBegin(GL_QUADS);
    for (int r = 0; r < rows; ++r)
        for (int k = 0; k < cols; ++k) {
            if (maze.cells[r][k] != 0) glColor3f(0.8f, 0.8f, 0.2f);
            else glColor3f(0.15f, 0.15f, 0.2f);
            const float x = left + static_cast<float>(k) * cell;
            const float y = bottom + static_cast<float>(r) * cell;
            quad(x, y, x + cell, y + cell);
        }
    glEnd();

    // Bodies in pixels: a marker never shrinks below a few pixels.
    const float mark = std::max(2.0f, 0.35f * cell);
    auto onMap = [&](Vec3 p, float& x, float& y) {
        x = left + p.x * scale;
        y = bottom + p.y * scale;
        return std::isfinite(x) && std::isfinite(y) && x >= o.x0 && x <= o.x1 && y >= o.y0 &&
               y <= o.y1;
    };
    float x = 0.0f, y = 0.0f;
    glBegin(GL_QUADS);
    glColor3f(1.0f, 0.0f, 0.0f);
    for (const Prey& p : world.preyList)
        if (onMap(p.pos, x, y)) quad(x - mark, y - mark, x + mark, y + mark);
    const int fighters = static_cast<int>(world.fighterList.size());
    for (int i = 0; i < fighters; ++i) {
        const Fighter& f = world.fighterList[static_cast<size_t>(i)];
        if (i == process.localFighterIndex || f.state != FighterState::InPlay || !onMap(f.pos, x, y)) continue;
        glColor3f(0.3f, 0.6f, 1.0f);
        quad(x - mark, y - mark, x + mark, y + mark);
    }
    glEnd();
    // The player: a larger green square with a line along its heading.
    const int me = process.localFighterIndex;
    if (me >= 0 && me < fighters && onMap(world.fighterList[static_cast<size_t>(me)].pos, x, y)) {
        const Fighter& f = world.fighterList[static_cast<size_t>(me)];
        const float big = 1.5f * mark;
        glColor3f(0.0f, 1.0f, 0.0f);
        glBegin(GL_QUADS);
        quad(x - big, y - big, x + big, y + big);
        glEnd();
        if (std::isfinite(f.dir.x) && std::isfinite(f.dir.y)) {
            glBegin(GL_LINES);
            glVertex2f(x, y);
            glVertex2f(x + f.dir.x * 4.0f * big, y + f.dir.y * 4.0f * big);
            glEnd();
        }
    }
    glEnable(GL_DEPTH_TEST);
}

ViewOpening drawTopPanel(const ViewOpening& o, float height, float alpha) {
    const float x0 = o.x0 + 0.04f * (o.x1 - o.x0), x1 = o.x1 - 0.04f * (o.x1 - o.x0);
    const float y1 = o.y1 - 0.04f * (o.y1 - o.y0), y0 = std::max(o.y0, y1 - height);
    glDisable(GL_LIGHTING);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_DEPTH_TEST);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glColor4f(0.0f, 0.0f, 0.05f, alpha);
    glBegin(GL_QUADS);
    quad(x0, y0, x1, y1);
    glEnd();
    glDisable(GL_BLEND);
    return ViewOpening{x0, y0, x1, y1};
}

void drawHelpPanel(float w, float h) {
    const ViewOpening o = viewOpening(w, h);
    const float s = hudScale(w, h);
    const HudFont font = hudFont(12, s);
    const float margin = 12.0f * s;
    const int keyRows = static_cast<int>(sizeof kKeyHelp / sizeof kKeyHelp[0]);
    const int menuRows = static_cast<int>(sizeof kMainMenuLabels / sizeof kMainMenuLabels[0]);
    // Title, keys, a gap, the menu's title and entries, a gap, the closing
    // line: spaced closer when the opening is too low for all of them.
    const float lines = static_cast<float>(keyRows + menuRows) + 5.0f;
    const float room = 0.96f * (o.y1 - o.y0) - 2.0f * margin;
    const float line = std::max(static_cast<float>(font.pixels),
                                std::min(1.4f * static_cast<float>(font.pixels), room / lines));
    // The keys' column as wide as the widest keys, in the font's pixels.
    float keysWidth = 0.0f;
    for (const KeyHelp& k : kKeyHelp) {
        float width = 0.0f;
        for (const char* c = k.keys; *c; ++c)
            width += static_cast<float>(glutBitmapWidth(font.font, static_cast<unsigned char>(*c)) * font.zoom);
        keysWidth = std::max(keysWidth, width);
    }
    const ViewOpening panel = drawTopPanel(o, lines * line + 2.0f * margin, 0.85f);
    const float x0 = panel.x0, y1 = panel.y1;

    float y = y1 - margin - static_cast<float>(font.pixels);
    const float left = x0 + margin, right = left + keysWidth + margin;
    glColor3f(1.0f, 1.0f, 0.0f);
    drawHudText(left, y, font, "Keys");
    y -= line;
    for (const KeyHelp& k : kKeyHelp) {
        glColor3f(0.6f, 0.9f, 1.0f);
        drawHudText(left, y, font, k.keys);
        glColor3f(1.0f, 1.0f, 1.0f);
        drawHudText(right, y, font, k.action);
        y -= line;
    }
    y -= line;
    glColor3f(1.0f, 1.0f, 0.0f);
    drawHudText(left, y, font, "Right mouse button: the menu");
    y -= line;
    for (const char* label : kMainMenuLabels) {
        glColor3f(1.0f, 1.0f, 1.0f);
        drawHudText(right, y, font, label);
        y -= line;
    }
    y -= line;
    glColor3f(0.6f, 0.9f, 1.0f);
    drawHudText(left, y, font, "F1 again closes this panel");
    glEnable(GL_DEPTH_TEST);
}

void drawHud(const GameState& world) {
    // A window shrunk to nothing still has one pixel: no empty projection.
    const float w = static_cast<float>(std::max(1, view.windowWidth));
    const float h = static_cast<float>(std::max(1, view.windowHeight));
    glViewport(0, 0, static_cast<int>(w), static_cast<int>(h));
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluOrtho2D(0.0, w, 0.0, h);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    // The maze leaves texturing on; the HUD is flat colour.
    glDisable(GL_TEXTURE_2D);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LESS);

    // The large map lies over the 3-D view, under the frame's rounded corners.
    if (options.showMap) drawLargeMap(world, w, h);
    // A protected player sees the view's edge tinted, under the frame's corners.
    const int self = process.localFighterIndex;
    if (self >= 0 && self < static_cast<int>(world.fighterList.size())) {
        const Fighter& f = world.fighterList[static_cast<size_t>(self)];
        if (f.state == FighterState::InPlay && f.protectMs > 0) drawProtectionEdge(w, h);
    }

    glPushMatrix();
    drawHudFrame(w, h);
    glPopMatrix();

    glClear(GL_DEPTH_BUFFER_BIT);

    // The gauge, the map and the text grow with the window; their places
    // stay fractions of it.
    const float s = hudScale(w, h);
    const HudFont labelFont = hudFont(18, s);
    glPushMatrix();
    glDisable(GL_LIGHTING);
    glColor3f(1.0f, 0.0f, 0.0f);
    char text[64];
    std::snprintf(text, sizeof text, "Health: ");
    drawHudText(0.81f * w, 0.6f * h, labelFont, text);
    glTranslatef(0.9f * w, 0.45f * h, 0.0f);
    // The needle a pixel wide per 480 pixels of height.
    glLineWidth(std::max(1.0f, std::floor(s)));
    drawHealthGauge(kGaugeRadius * s, hud.health / 100.0f, true, process.clockNowMs);
    glLineWidth(1.0f);
    glPopMatrix();

    const int me = process.localFighterIndex;
    if (me >= 0 && me < static_cast<int>(world.fighterList.size())) {
        // The map's box: the reach each side of the player, in pixels. The
        // cells and markers near its edges are cut at it.
        const float mx = 0.9f * w, my = 0.85f * h, half = kMapReach * s;
        glScissor(static_cast<int>(std::lround(mx - half)), static_cast<int>(std::lround(my - half)),
                  static_cast<int>(std::lround(2.0f * half)), static_cast<int>(std::lround(2.0f * half)));
        glEnable(GL_SCISSOR_TEST);
        glPushMatrix();
        glTranslatef(mx, my, 0.0f);
        glScalef(s, s, 1.0f);
        drawOverviewMap(world, world.fighterList[static_cast<size_t>(me)]);
        glPopMatrix();
        glDisable(GL_SCISSOR_TEST);
    }

    std::snprintf(text, sizeof text, "score:%d ", hud.score);
    glColor3f(1.0f, 0.0f, 0.0f);
    drawHudText(0.81f * w, 0.3f * h, labelFont, text);
    std::snprintf(text, sizeof text, "bullets:%d ", hud.bullets);
    glColor3f(1.0f, 0.0f, 0.0f);
    drawHudText(0.81f * w, 0.2f * h, labelFont, text);

    glDisable(GL_LIGHTING);
    glColor3f(1.0f, 1.0f, 0.0f);
    // A paused world says so whenever no other message is up.
    const char* message = hud.messageLine;
    if (message[0] == '\0' && world.gamePaused) message = kPausedMessage;
    // The message line stays readable over the help panel.
    if (view.helpShown) drawHelpPanel(w, h);
    // The scoreboard over the help panel: Tab is held for a moment only.
    if (scoreboardShown(world, hud)) drawScoreboard(world, w, h);
    drawEventFeed(w, h);
    glColor3f(1.0f, 1.0f, 0.0f);
    // In the labels' font: a lost server or a player gone must catch the eye.
    drawHudText(0.05f * w, 0.2f * h, hudFont(18, s), message);
    glEnable(GL_LIGHTING);
}
