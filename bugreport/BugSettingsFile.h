// bug.ini: the reporter's personal details and the report counter, kept
// between runs.
//
// The file is eleven lines: name, company, street, house number, city, zip,
// state, country, e-mail and web address, each ended by a line feed, then the
// report counter in decimal with no line feed after it.
#pragma once

#include <array>

#include "platform/CString.h"

struct BugIniData {
  enum Field { kName, kCompany, kStreet, kHouseNumber, kCity, kZip, kState, kCountry, kEMail, kWWW, kFieldCount };
  std::array<CString, kFieldCount> fields;
  int counter = 1;

  bool operator==(const BugIniData&) const = default;
};

class CBugSettingsFile {
 public:
  // The values of a first run.
  static BugIniData Defaults();

  // Reads the text of a bug.ini. Lines that are present keep their values,
  // missing ones take the defaults; a counter line that holds no decimal
  // number (or a negative one) counts as missing. True when all eleven lines
  // were read and the counter parsed, so the file needs no rewrite.
  static bool Parse(const CString& text, BugIniData& data);
  static CString Format(const BugIniData& data);

  // The folder bug.ini lives in: `workingFolder` when it can be written,
  // else `configFolder` (the user's own, created when first written).
  static CString ChooseFolder(const CString& workingFolder, const CString& configFolder);

  // Reads `path`; a file that is missing, unreadable or incomplete gives the
  // defaults for what is missing and is written afresh at once. False only
  // when that rewrite failed.
  static bool Load(const CString& path, BugIniData& data);
  // Creates or truncates `path`; false when it could not be written.
  static bool Save(const CString& path, const BugIniData& data);
};
