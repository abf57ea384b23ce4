#pragma once

#include "hook/EssayState.h"

#include <cairo.h>

// Paints the desktop lines with cairo and pango onto a surface of width × height pixels: the
// background (left clear so that the wallpaper shows, or the plain desktop colour), then the
// lines from the top margin, aligned within the margin, separators as rules in their own colour.
// Pango finds a face for every character the chosen one lacks (Chinese text in a Latin face).
// A line too wide for the surface ends in an ellipsis, so that it is visibly cut.
void PaintEssay(cairo_t* cr, int width, int height, const TEssayState& state);
