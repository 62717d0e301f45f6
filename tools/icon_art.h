// The program's icons as pixel art, drawn here so that the artwork is reproducible from source:
// "Buramo", a small MSX-era monitor with a face (the program's character, icon 101), and a
// picture file with Buramo's screen on it (icon 102). tools/make_icons writes them as .ico files
// for the viewer; the web page draws Buramo from the same drawing.
#pragma once

#include <cstdint>

namespace icon_art {

// Colours use the MSX2 power-on palette's levels (0x21 steps) so the icon looks like the
// pictures it shows.
struct Colour {
    char key;
    uint8_t r, g, b;
};
inline constexpr Colour kColours[] = {
    {'#', 0x21, 0x21, 0x21},  // outline
    {'W', 0xDE, 0xDE, 0xDE},  // cabinet
    {'S', 0xB5, 0xB5, 0xB5},  // cabinet shade
    {'B', 0x21, 0x21, 0xFF},  // screen (palette colour 4)
    {'y', 0xFF, 0xFF, 0x6B},  // eyes
    {'r', 0xFF, 0x6B, 0x6B},  // mouth
    {'g', 0x21, 0xDE, 0x21},  // power lamp
    {'G', 0x94, 0x94, 0x94},  // stand
    {'P', 0xFF, 0xFF, 0xFF},  // paper
};

inline constexpr const char* kBuramo[16] = {
    "................",
    "..############..",
    ".#WWWWWWWWWWWW#.",
    ".#WBBBBBBBBBBS#.",
    ".#WBBBBBBBBBBS#.",
    ".#WBByBBBByBBS#.",
    ".#WBByBBBByBBS#.",
    ".#WBBBBBBBBBBS#.",
    ".#WBrBBBBBBrBS#.",
    ".#WBBrrrrrrBBS#.",
    ".#WBBBBBBBBBBS#.",
    ".#WSSSSSSSSgSS#.",
    "..############..",
    ".....#GGGG#.....",
    "...##########...",
    "................",
};

inline constexpr const char* kDocument[16] = {
    "..#########.....",
    "..#PPPPPPP##....",
    "..#PPPPPPP#P#...",
    "..#PPPPPPP####..",
    "..#PPPPPPPPPP#..",
    "..#P########P#..",
    "..#P#BBBBBB#P#..",
    "..#P#ByBByB#P#..",
    "..#P#BBBBBB#P#..",
    "..#P#BrrrrB#P#..",
    "..#P#BBBBBB#P#..",
    "..#P########P#..",
    "..#PPPPPPPPPP#..",
    "..#PPPPPPPPPP#..",
    "..############..",
    "................",
};

// The colour of a drawing's cell, or nullptr where it is transparent.
inline const Colour* CellColour(const char* const drawing[16], int x, int y) {
    for (const Colour& c : kColours) {
        if (c.key == drawing[y][x]) return &c;
    }
    return nullptr;
}

}  // namespace icon_art
