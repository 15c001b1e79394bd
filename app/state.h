// Program-wide state of the main window, created at start and released by
// the exit routine.
#pragma once

#include <cstdint>

#include "runtime/api.h"
#include "runtime/value.h"

namespace app {

struct ProgramState {
  // Automation object holders of the form printing, allocated zeroed at start.
  rt::ObjectHolder* formSheetObject = nullptr;
  rt::ObjectHolder* formPageSetupObject = nullptr;
  // Identity number of the learner last clicked in the student list.
  rt::api::Text selectedStudentId;
  // Serial port number of the card reader, from the settings.
  int32_t readerPort = 0;
  // Running numbers of the exam list and the exam detail list.
  int32_t examListCounter = 0;
  int32_t examDetailCounter = 0;
  // The file last opened for the operation log.
  int32_t logFileNumber = 0;
};

ProgramState& state();

// Program start: holders, exit routine. The exit routine releases both
// automation objects and frees the holders and selectedStudentId.
void initialiseProgramState();
void exitRoutine(int32_t index);

}  // namespace app
