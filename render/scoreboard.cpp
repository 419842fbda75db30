// scoreboard.cpp -- the scoreboard over the view, the event feed above the
// message line, and the edge that tells a protected player so. Flat drawing
// in window pixels like the rest of the HUD (drawHud sets the projection);
// sizes are those of a 640 x 480 window times hudScale.
#include <GL/freeglut.h>
#include <GL/gl.h>

#include <algorithm>
#include <cstdio>

#include "render/render.h"

namespace {

// Where each column starts, as a fraction of the panel's inner width: the
// name takes the widest, 15 characters of the 12-pixel font.
constexpr float kColumnAt[] = {0.0f, 0.42f, 0.54f, 0.68f, 0.80f, 0.89f};
constexpr const char* kHeadings[] = {"Name", "Score", "Fighters", "Deaths", "Ping", "State"};
constexpr int kColumns = static_cast<int>(sizeof kColumnAt / sizeof kColumnAt[0]);

// The local row's bar and the panel's colour: a blue no text or view
// beneath the translucent panel gives.
constexpr float kLocalBar[3] = {0.15f, 0.35f, 0.65f};

void quad(float x0, float y0, float x1, float y1) {
    glVertex2f(x0, y0);
    glVertex2f(x1, y0);
    glVertex2f(x1, y1);
    glVertex2f(x0, y1);
}

// Flat 2-D drawing over everything drawn so far.
void beginOverlay() {
    glDisable(GL_LIGHTING);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_DEPTH_TEST);
}

}  // namespace

void drawScoreboard(const GameState& world, float w, float h) {
    const Scoreboard board = buildScoreboard(world, process.localFighterIndex);
    const ViewOpening o = viewOpening(w, h);
    const float s = hudScale(w, h);
    const HudFont font = hudFont(12, s);
    const float line = 1.4f * static_cast<float>(font.pixels);
    const float margin = 10.0f * s;
    // Title, the banner when a round is over, headings, rows.
    const int lines = 2 + (board.banner[0] ? 1 : 0) + board.rowCount;
    const float height = (static_cast<float>(lines) + 0.5f) * line + 2.0f * margin;
    const ViewOpening panel = drawTopPanel(o, height, 0.8f);
    const float x0 = panel.x0, x1 = panel.x1, y1 = panel.y1;
    const float left = x0 + margin, inner = x1 - x0 - 2.0f * margin;

    float y = y1 - margin - static_cast<float>(font.pixels);
    glColor3f(1.0f, 1.0f, 0.0f);
    drawHudText(left, y, font, "Scoreboard");
    glColor3f(0.6f, 0.9f, 1.0f);
    drawHudText(left + kColumnAt[3] * inner, y, font, board.clock);
    y -= line;
    if (board.banner[0]) {
        glColor3f(1.0f, 0.6f, 0.2f);
        drawHudText(left, y, font, board.banner);
        y -= line;
    }
    glColor3f(0.6f, 0.9f, 1.0f);
    for (int c = 0; c < kColumns; ++c) drawHudText(left + kColumnAt[c] * inner, y, font, kHeadings[c]);
    y -= 1.5f * line;

    for (int i = 0; i < board.rowCount; ++i) {
        const ScoreboardRow& r = board.rows[i];
        if (r.local) {
            // The bar spans the row's line from below the glyphs' baseline.
            glColor3fv(kLocalBar);
            glBegin(GL_QUADS);
            quad(x0 + 0.5f * margin, y - 0.3f * line, x1 - 0.5f * margin, y + 0.7f * line);
            glEnd();
        }
        char figures[3][16];
        std::snprintf(figures[0], sizeof figures[0], "%d", static_cast<int>(r.score));
        std::snprintf(figures[1], sizeof figures[1], "%d", static_cast<int>(r.fightersDestroyed));
        std::snprintf(figures[2], sizeof figures[2], "%d", static_cast<int>(r.deaths));
        const char* cells[kColumns] = {r.name, figures[0], figures[1], figures[2], r.ping, r.state};
        glColor3f(1.0f, 1.0f, 1.0f);
        for (int c = 0; c < kColumns; ++c) drawHudText(left + kColumnAt[c] * inner, y, font, cells[c]);
        y -= line;
    }
    glEnable(GL_DEPTH_TEST);
}

void drawEventFeed(float w, float h) {
    const int count = std::clamp(hud.feedCount, 0, kFeedLines);
    if (count == 0) return;
    const float s = hudScale(w, h);
    const HudFont font = hudFont(12, s);
    const float line = 1.4f * static_cast<float>(font.pixels);
    // The message line sits at 0.2 h in the 18-pixel font; the newest event
    // just above it.
    float y = 0.2f * h + 1.4f * static_cast<float>(hudFont(18, s).pixels) + static_cast<float>(count - 1) * line;
    beginOverlay();
    glColor3f(0.7f, 1.0f, 0.7f);
    for (int i = 0; i < count; ++i) {
        if (clockElapsedMs(hud.feed[i].setMs, process.clockNowMs) <= kFeedShowMs)
            drawHudText(0.05f * w, y, font, hud.feed[i].text);
        y -= line;
    }
    glEnable(GL_DEPTH_TEST);
}

void drawProtectionEdge(float w, float h) {
    const ViewOpening o = viewOpening(w, h);
    const float b = 6.0f * hudScale(w, h);
    beginOverlay();
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glColor4f(0.3f, 0.9f, 1.0f, 0.6f);
    glBegin(GL_QUADS);
    quad(o.x0, o.y0, o.x1, o.y0 + b);
    quad(o.x0, o.y1 - b, o.x1, o.y1);
    quad(o.x0, o.y0 + b, o.x0 + b, o.y1 - b);
    quad(o.x1 - b, o.y0 + b, o.x1, o.y1 - b);
    glEnd();
    glDisable(GL_BLEND);
    glEnable(GL_DEPTH_TEST);
}
