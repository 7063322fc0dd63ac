// The module base: the Local and Server databases below PROGDIR:Database,
// adding, importing, exporting and removing modules, and the four
// comparison slots. Front-end independent: questions and messages go through
// ctx.requester; every operation also returns what happened, so a front end
// can say it without parsing texts.
//
// A serial becomes a file name ("PROGDIR:Database/Local/" + serial +
// ".dbe") only when it is well formed ("0x" + 32 upper-case hexadecimal
// digits); any other serial is refused with the not-valid requester.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "modules/module_index.h"
#include "modules/module_record.h"

namespace kr {

struct Context;

namespace db {
inline constexpr std::string_view kLocalDir = "PROGDIR:Database/Local/";
inline constexpr std::string_view kLocalIndex = "PROGDIR:Database/Local/database.dbi";
inline constexpr std::string_view kServerIndex = "PROGDIR:Database/Server/database.dbi";
}  // namespace db

enum class Database { Local, Server };

// "PROGDIR:Database/Local/" + serial + ".dbe"; empty when the serial is not
// well formed.
std::string LocalModulePath(std::string_view serial);

// Appends the entries of the database's index file to its list (the Local
// or the Server list). A missing file leaves the list as it is and returns
// false, without a message. A file that is there but cannot be read or
// parsed also returns false, adds nothing and sets the database's error
// (ctx.modules.localError or serverError: the path and why); a sound read
// clears it. Returns the number of entries left out (serials that are not
// well formed) through `skipped` when given.
bool LoadIndex(Context& ctx, Database which, int* skipped = nullptr);
// Writes the Local list as the Local index: a new file beside the old one,
// renamed over it; false (old index intact) when that failed, and without
// writing when the Local index could not be read (localError).
bool SaveLocalIndex(Context& ctx);
// Empties the Server list.
void ClearServerList(Context& ctx);
// True when the database's list has an entry with this serial.
bool IsInDatabase(const Context& ctx, std::string_view serial, Database which);
// The Local entry with this serial, or null.
const IndexEntry* FindLocal(const Context& ctx, std::string_view serial);
// Gives every entry still at position -1 its place in the list, as a list
// view does the first time it shows the entry.
void AssignDisplayPositions(std::vector<IndexEntry>& list);

// Stores a module record (unscrambled) in the Local database: validity test
// (its requester on failure), then "Module is already 'Local'..." for a
// known serial, then the module file (scrambled), and only when all of its
// 9504 bytes were written the entry at the bottom of the Local list. The
// caller saves the index afterwards.
enum class AddResult { Added, Invalid, Duplicate, WriteFailed };
AddResult AddModuleToLocal(Context& ctx, const ModuleRecord& record);

// Completes the current results record (FillModuleDescription), stores a
// copy in the Local database and writes the Local index again.
struct FillResult {
  AddResult add = AddResult::WriteFailed;
  bool indexSaved = false;
};
FillResult FillModuleHeader(Context& ctx);

// Imports module files (host or dos paths), in the order given. A file of
// any size but 9504 bytes gets "Wrong module-length!" and the others go on.
// Every file read whole is unscrambled and added; the Local index is saved
// after each.
struct ImportOutcome {
  std::string path;
  enum Kind { Imported, WrongLength, Unreadable, Invalid, Duplicate, WriteFailed } kind = Unreadable;
  std::string serial;      // when the file was read
  bool indexSaved = true;  // false when the index save after the add failed
};
std::vector<ImportOutcome> ImportModules(Context& ctx, const std::vector<std::string>& files);

// Copies the Local module file of a serial, unchanged (still scrambled), to
// `destination`: written beside and renamed, so an existing file there is
// replaced only by a complete copy.
enum class ExportResult { Exported, NotLocal, InvalidSerial, ReadFailed, WriteFailed };
ExportResult ExportModule(Context& ctx, std::string_view serial, std::string_view destination);

// Removes a Local module: the not-on-server warning first (when the Server
// list does not have it; "Abort" or no answer ends the operation), then the
// index is saved without the entry and only after that the module file is
// deleted; slots showing that module are emptied (path and name cleared)
// and every slot is reloaded. IndexNotSaved: nothing changed (the entry
// and the file are kept; the dos error says why). FileNotDeleted: the
// module is out of the index, but its file is still there (the dos error
// says why).
enum class RemoveResult { Removed, Aborted, NotLocal, InvalidSerial, IndexNotSaved, FileNotDeleted };
RemoveResult RemoveModule(Context& ctx, std::string_view serial);

// Loads the Local module with this serial into comparison slot 1..4: the
// slot is emptied first; on success its record holds the module, the
// display record's path field names the file and the slot is marked loaded.
// Open failure: "Can't load module from disk..." ("Damn"); short file:
// "Invalid module length!"; invalid module: the validity requester.
ModuleRead LoadModuleIntoSlot(Context& ctx, int slot, std::string_view serial);
// A slot picker's choice: the slot's display name becomes
// Realname + " (" + user name + ")" and the module is loaded.
ModuleRead ChooseSlotModule(Context& ctx, int slot, const IndexEntry& entry);
// Loads again every slot whose path field is set (the serial is the path's
// file part without ".dbe"); a slot whose path field is empty is emptied.
void ReloadSlots(Context& ctx);

}  // namespace kr
