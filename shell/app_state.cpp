#include "app_state.h"

// Constant-initialised: the program has no C runtime to run constructors.
namespace {
constinit AppState State = {
    .LabelFont = nullptr,
    .Fields = {},
    .Panel = {},
    .BackgroundInfo = {},
    .Background = nullptr,
    .Layout = {},
    .FieldFont = nullptr,
    .SystemDpi = 0,
    .RowBrush = nullptr,
    .Instance = nullptr,
    .MaxWidth = 0,
    .MaxHeight = 0,
    .Left = 0,
    .Top = 0,
    .StockEditProc = nullptr,
    .OwnEdits = 0,
    .Changed = nullptr,
    .Buttons = {},
    .StockButtonProc = nullptr,
};
}  // namespace

constinit AppState& App = State;

// The contact number closes the title; the whole is 40 bytes.
extern const char TitleText[] = " Quorvane V1.01 By Daskelt QQ:" "0000000000";
static_assert(sizeof(TitleText) == 41);
