// Routines of the core library's window commands, implemented by the screen
// layer and handed to the core when the screen is installed.
#pragma once

#include "runtime/library.h"

namespace rt::commands {

void LoadWindow(TypedValue* result, int32_t count, TypedValue* args);
void IsLoaded(TypedValue* result, int32_t count, TypedValue* args);
void UnloadWindow(TypedValue* result, int32_t count, TypedValue* args);
void FocusControl(TypedValue* result, int32_t count, TypedValue* args);
void ShowPopupMenu(TypedValue* result, int32_t count, TypedValue* args);
void OpenDialog(TypedValue* result, int32_t count, TypedValue* args);
void ShowMessage(TypedValue* result, int32_t count, TypedValue* args);
void ProcessEvents(TypedValue* result, int32_t count, TypedValue* args);
void ComboAddItem(TypedValue* result, int32_t count, TypedValue* args);
void ComboClear(TypedValue* result, int32_t count, TypedValue* args);

}  // namespace rt::commands
