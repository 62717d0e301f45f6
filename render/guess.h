// Choosing a picture's mode by its content: the bytes read in each mode its size allows, and
// the reading that looks most like a picture kept. Pictures are mostly smooth; bytes read in
// the wrong mode split each pixel's bits among several pixels (or merge several pixels into
// one), which shows as noise between neighbours.
#pragma once

#include "image/picture.h"

// The mean difference in brightness (0-255) between neighbouring pixels of the picture read in
// `mode` (across and down, over the lines its bytes reach), in the picture's palette, at 512
// pixels a line: a 256-wide reading as the doubled pane shows it.
double PictureRoughness(const Picture& picture, ScreenMode mode);

// The mode among those that fit the picture's size with the least roughness: SCREEN 7, 8,
// 10/11 and 12 above 32 KiB; SCREEN 5 and 6 up to it, and SCREEN 2 too up to 16 KiB (SCREEN 4
// shows as SCREEN 2; SCREEN 1 and 3, which read fewer tables and so always look smooth, are
// left to their names and BSAVE ranges). Ties go to the earlier mode of that list.
//
// What it cannot tell: a SCREEN 6 picture (four colours, dithered at 512 pixels a line) reads
// rougher than its bytes read as SCREEN 5, so it is taken for SCREEN 5.
ScreenMode GuessScreenMode(const Picture& picture);
