#pragma once

class QWidget;

// Keeps what the platform and a screen reader get of a window's title in step
// with windowTitle():
//
// - The accessible name follows the title when the title changes, unless the
//   window was given an accessible name of its own (one that is not its
//   earlier title).
// - A window whose title is empty shows an empty caption bar. Qt would put the
//   application's name there instead; a blank goes to the platform window,
//   while windowTitle() stays empty.
//
// The helper belongs to the window; following a window twice changes nothing.
namespace WindowTitles {

void follow(QWidget *window);

// The caption the platform shows for a window without a title.
inline constexpr char16_t blankCaption[] = u" ";

} // namespace WindowTitles
