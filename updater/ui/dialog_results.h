#pragma once
// The result codes of the modal dialogs, as their callers know them.

inline constexpr int kDialogOk = 1;
inline constexpr int kDialogCancel = 2;
inline constexpr int kDialogYes = 6;
inline constexpr int kDialogNo = 7;

// What Escape and the window's close box answer: never yes. A question is
// answered No, every other dialog Cancel.
inline constexpr int EscapeResult(bool yes_no_question) {
  return yes_no_question ? kDialogNo : kDialogCancel;
}
