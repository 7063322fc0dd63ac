#include "intake/store.h"

#include <algorithm>

#include "modules/module_description.h"
#include "modules/module_index.h"
#include "modules/module_record.h"
#include "records/catalogue.h"

namespace kr {

StoredModule DescribeStoredModule(const std::vector<uint8_t>& fileBytes) {
  StoredModule m;
  ModuleRecord record;
  std::copy_n(fileBytes.begin(), std::min(fileBytes.size(), record.bytes.size()), record.bytes.begin());
  ScrambleModule(record);
  ModuleDescription d = DescribeModule(record);
  m.serial = d.serial;
  m.bytes = fileBytes;
  m.entry = MakeIndexEntry(record);
  m.userName = d.userName;
  m.realName = d.realName;
  m.cpu = d.cpu;
  m.os = d.osVersion;
  m.date = d.date;
  m.time = d.time;
  m.processor = record.score(slot::kProcessorTotal).percent;
  m.memory = record.score(slot::kMemoryTotal).percent;
  m.drive = record.score(slot::kDriveTotal).percent;
  return m;
}

bool IsPostgresUri(const std::string& where) {
  return where.rfind("postgresql://", 0) == 0 || where.rfind("postgres://", 0) == 0;
}

std::unique_ptr<Store> OpenStore(const std::string& where, std::string& error) {
  return IsPostgresUri(where) ? OpenPostgresStore(where, error) : OpenSqliteStore(where, error);
}

}  // namespace kr
