#include "database/app_database.h"

#include "database/wide_text.h"
#include "platform/win32.h"

namespace ksds {

namespace {

// The platform's path separator, chosen by the build (backslash on Windows, '/' elsewhere).
const char kSeparator = static_cast<char>(TAVORIN_PATH_SEPARATOR);

// "Kestra<sep>Kestra Media Core<sep>v3.1<sep>".
std::string ApplicationFolder() {
  std::string folder;
  for (const char* part : {"Kestra", "Kestra Media Core", "v3.1"}) {
    folder += kSeparator;
    folder += part;
  }
  return folder + kSeparator;
}

// Creates every level of folder below its root: each separator after the first ends a level.
// Existing levels are fine, so the results are not examined.
void CreateFolders(const std::wstring& folder) {
  const wchar_t separator = static_cast<wchar_t>(kSeparator);
  size_t end = folder.find(separator);
  if (end == std::wstring::npos) return;
  while ((end = folder.find(separator, end + 1)) != std::wstring::npos) {
    const std::wstring level = folder.substr(0, end);
    (void)CreateDirectoryW(level.c_str(), nullptr);  // fails harmlessly when it exists
  }
}

}  // namespace

Database::Database() : opened_(false) {}

Database::~Database() { opened_ = !database_.Close(); }

bool Database::Open(const std::string& fileName, const std::string& schemaScript) {
  if (opened_) return true;  // the script ran with the open that set the flag
  WCHAR appData[MAX_PATH + 1] = {0};
  if (SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, 0, appData) != S_OK) return false;
  const std::string base = KSDSOLD::Utf8FromWide(appData);
  if (base.empty()) return false;  // not representable: never build a path from the root
  const std::string folder = base + ApplicationFolder();
  CreateFolders(KSDSOLD::WideFromUtf8(folder));
  path_ = folder + fileName;
  opened_ = database_.Open(path_);
  if (!opened_) return false;
  return database_.ExecSQL(schemaScript);
}

bool Database::GetRecord(const std::string& table, const KSDSOLD::FieldMap* keys, KSDSOLD::ColumnMap& columns) {
  columns.clear();
  std::string name = "ksds::Database::GetRecord->" + table + "(";
  std::string sql = "SELECT * FROM " + table + " WHERE ";
  KSDSOLD::FieldMap arguments;
  if (keys) {
    int number = 1;
    for (KSDSOLD::FieldMap::const_iterator it = keys->begin(); it != keys->end();) {
      const std::string key = std::to_string(number++);
      name += "," + it->first;
      arguments[key] = it->second;
      sql += it->first + " = :" + key;
      ++it;
      sql += it == keys->end() ? ";" : " AND ";
    }
  }
  name += ")";
  if (!database_.PrepareStatement(name, sql, false)) return false;
  return database_.ExecuteNamed(name, &arguments, &columns);
}

}  // namespace ksds
