// Command routines of the core library that act on windows and controls;
// they live with the screen layer (runtime/qt) because they need it.
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
