// The commands that draw pages and decode images. They run in a program of
// their own, pressel-draw, built next to pressel: the libraries they need
// (cairo, FreeType, fontconfig, libtiff, libjpeg, libpng, giflib, Zint and
// what those load, some thirty shared objects) are then loaded only when one
// of them runs, and every other command starts without them (about 2.5 ms
// of CPU time instead of 6.5 ms a start). pressel lists them as its own and
// hands them to pressel-draw with their arguments.
#pragma once

namespace pressel::tool {

inline constexpr const char* kRenderSummary = "draw the pages of a stream to PDF, SVG or PNG";
inline constexpr const char* kImagesSummary = "write every image of a stream to a folder as PNG (JPEG kept as JPEG)";
// The file name of the program that runs them, in the folder of pressel.
inline constexpr const char* kDrawProgram = "pressel-draw";

}  // namespace pressel::tool
