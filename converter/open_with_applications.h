#pragma once
// The applications of the Open With pop-up's last item: every installed
// application that opens the example JPEG, each once, this application
// left out, titled by its name and, where its metainfo gives one, its
// version in parentheses after the name set apart as a bidi isolate, and
// sorted by title; names are made one plain line (ui::menuName). The
// engine's application table is refilled under the items' tags.

#include <map>
#include <string>
#include <vector>

#include "presets/converter_controls.h"

namespace velumar {

class ImportedImage;

// Empties the engine's table and answers the new items, sorted by title;
// tags (from 1) follow the desktop's order.
std::vector<ApplicationMenuItem> updateApplicationsForOpenWithMenu(ImportedImage& engine,
                                                                   const std::string& exampleFile);

// The user's choice of a submenu item by tag: the chosen application and
// item 14, or no application and item 0 when the tag is unknown. Answers
// the pop-up's new index.
std::int64_t selectApplicationFrom(ImportedImage& engine, std::vector<ApplicationMenuItem>& items,
                                   std::int64_t tag);

// The fixed items 2 to 8 whose program is installed are titled with that
// program's own name; the others take their title from fixedTitles (the
// items as first made). Answers the icon of each titled item by index: an
// icon-theme name or a file path.
std::map<std::int64_t, std::string> titleOpenWithItemsByProgram(PopUp& popUp,
                                                                const std::vector<std::string>& fixedTitles,
                                                                const ImportedImage& engine);

// Disables the fixed Open With items (1 to 13) whose target the engine
// cannot open on this desktop, after the format's own rules have run; a
// selected item made unavailable falls back to item 0.
void disableUnavailableOpenWithItems(PopUp& popUp, const ImportedImage& engine);

}  // namespace velumar
