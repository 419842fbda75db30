// render_stub.cpp -- placeholders until the maze drawing lands.
#include <GL/gl.h>

#include "render/render.h"

ViewState view;

void loadTextures() {}
void buildModels() {}
void drawScene() {}
