// The settings store on QSettings in INI form.
//
// The user's store is <configuration folder>/Havrel/Orvane.ini (the folder
// follows XDG_CONFIG_HOME). QSettings compares names exactly on Linux; this
// store finds sections and values regardless of case and writes to the
// spelling already on file, so "Position_X" and "POSITION_X" are one value.
#pragma once

#include <memory>

#include "app/SettingsStore.h"

class QSettings;
class QString;

class QtSettingsStore : public ISettingsStore {
 public:
  // The store in the INI file at `path` (created when first written).
  explicit QtSettingsStore(const CString& path);
  ~QtSettingsStore() override;

  // The user's store of the company "Havrel" and the application "Orvane".
  static CString DefaultPath();

  int GetProfileInt(const CString& section, const CString& entry, int defaultValue) override;
  bool WriteProfileInt(const CString& section, const CString& entry, int value) override;
  CString GetProfileString(const CString& section, const CString& entry, const CString& defaultValue) override;
  bool WriteProfileString(const CString& section, const CString& entry, const CString& value) override;
  bool GetProfileBinary(const CString& section, const CString& entry, std::vector<BYTE>& data) override;
  bool WriteProfileBinary(const CString& section, const CString& entry, const std::vector<BYTE>& data) override;
  bool DeleteValue(const CString& section, const CString& entry) override;
  bool Flush() override;

  const CString& Path() const { return m_Path; }

 private:
  // The key on file ("Section/Value") for the names, matched regardless of
  // case; empty when the value is absent.
  QString FindKey(const CString& section, const CString& entry) const;
  // The key to write: the existing spelling, or the names as given. Other
  // spellings of the same value are removed.
  QString KeyForWrite(const CString& section, const CString& entry);
  bool Write(const CString& section, const CString& entry, const class QVariant& value);

  CString m_Path;
  std::unique_ptr<QSettings> m_Settings;
};
