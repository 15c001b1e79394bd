// Window templates as read from the stored template block: every window, its
// units, their geometry, captions, items, columns and event tables.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "runtime/entry.h"

namespace rt {

// Menu item flags.
inline constexpr int32_t kMenuHidden = 0x1;
inline constexpr int32_t kMenuDisabled = 0x2;
inline constexpr int32_t kMenuFlag2 = 0x4;

// Picture box display modes.
inline constexpr int32_t kPictureTopLeft = 0;
inline constexpr int32_t kPictureStretch = 1;
inline constexpr int32_t kPictureCentered = 2;

// Unit flags of other units.
inline constexpr int32_t kUnitVisible = 0x1;
inline constexpr int32_t kUnitDisabled = 0x2;
inline constexpr int32_t kUnitTabStop = 0x4;

struct FontTemplate {
  int32_t height = 0;  // negative: character height in pixels
  int32_t weight = 400;
  int32_t charset = 134;
  std::string faceGb;  // empty: the system's default face
  bool italic = false;
  bool underline = false;
  bool strikeOut = false;
};

struct ListColumnTemplate {
  int32_t image = -1;
  int32_t format = 0;
  int32_t width = 0;
  std::string titleGb;
};

struct EventBinding {
  int32_t event = 0;
  EventHandler handler = nullptr;  // null: no handler
};

struct UnitTemplate {
  uint32_t id = 0;
  uint32_t kind = 0;
  std::string nameGb;
  std::string commentGb;

  // Menu items.
  int32_t level = 0;
  int32_t menuFlags = 0;
  std::string captionGb;  // menu caption, label and button caption, window title
  EventHandler menuHandler = nullptr;

  // Every other unit.
  int32_t left = 0, top = 0, width = 0, height = 0;
  uint32_t container = 0;           // 0: the window itself
  std::vector<uint32_t> contained;  // for a Tab: pages separated by 0
  std::string tagTextGb;
  int32_t flags = 0;
  int32_t order = 0;
  std::vector<EventBinding> events;

  // Kind-specific data.
  bool hasFont = false;
  FontTemplate font;
  std::vector<std::string> itemsGb;  // combo items, tab page titles
  std::vector<ListColumnTemplate> columns;
  std::string filterGb;                 // common dialog filter
  std::vector<unsigned char> kindData;  // the raw kind-specific bytes

  // Common dialogs.
  int32_t dialogType = 0;  // 0 open file, 1 save file, 2 font, 3 help
  int32_t filterIndex = 0;
  std::string initialFolderGb;
  std::string dialogTitleGb;
  std::string defaultExtensionGb;
  std::string initialFileGb;

  // Lists.
  bool singleSelection = false;
  int32_t selectedRow = -1;

  // Picture boxes.
  int32_t borderStyle = 0;                  // 0-5, 0: none
  int32_t displayMode = 0;                  // kPictureTopLeft, kPictureStretch, kPictureCentered
  std::vector<unsigned char> pictureBytes;  // an image file's bytes; empty: no picture

  // Progress bars.
  int32_t progressMaximum = 100;
  int32_t progressPosition = 0;

  bool isMenuItem() const;
  // The handler bound to an event number; null when there is none.
  EventHandler handlerFor(int32_t event) const;
  // The page of a Tab holding a contained unit, or -1.
  int32_t tabPageOf(uint32_t unitId) const;
};

struct WindowTemplate {
  uint32_t id = 0;
  int32_t wordA = 0;
  int32_t wordB = 0;
  std::string nameGb;
  std::string commentGb;
  std::vector<UnitTemplate> units;  // in stored order; the window's own unit among them

  const UnitTemplate* find(uint32_t unitId) const;  // 0: the window's own unit
  const UnitTemplate* ownUnit() const;
};

struct TemplateError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// Reads a whole block; relocates handler offsets against codeBase (an offset
// is a byte offset into that table; -1 means no handler). Throws TemplateError
// on any malformed or truncated input, and on a handler offset that is not a
// whole table entry or lies outside the table (handlerCount entries; without
// a count, kMaxHandlerCount bounds it).
inline constexpr size_t kMaxHandlerCount = 65536;
std::vector<WindowTemplate> parseTemplateBlock(const unsigned char* block, size_t size, const EventHandler* codeBase);
std::vector<WindowTemplate> parseTemplateBlock(const unsigned char* block, size_t size, const EventHandler* codeBase,
                                               size_t handlerCount);

// The templates the runtime loaded at start-up.
const std::vector<WindowTemplate>& loadedTemplates();
const WindowTemplate* findWindowTemplate(uint32_t windowId);

}  // namespace rt

namespace rt {
// Installs the templates read at start-up (the screen layer reads them back
// through loadedTemplates / findWindowTemplate).
void installTemplates(std::vector<WindowTemplate> templates);
}  // namespace rt
