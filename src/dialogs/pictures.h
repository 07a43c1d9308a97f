#pragma once
// The program's pictures (SVG, drawn for Tavomi), compiled in as Qt resources.

namespace tavomi {

inline constexpr const char* kLogoPicture = ":/pictures/logo.svg";
inline constexpr const char* kStartledManPicture = ":/pictures/startled_man.svg";
inline constexpr const char* kTimeClockManPicture = ":/pictures/time_clock_man.svg";
inline constexpr const char* kAboutPicture = ":/pictures/about.svg";

// Registers the pictures. They live in a static library, whose unreferenced
// resource object the linker would otherwise drop; safe to call repeatedly.
void initPictures();

}  // namespace tavomi
