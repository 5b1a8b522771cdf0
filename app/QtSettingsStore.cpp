#include "app/QtSettingsStore.h"

#include <QByteArray>
#include <QSettings>
#include <QStandardPaths>
#include <QStringList>
#include <QVariant>
#include <charconv>

namespace {
QString ToQt(const CString& s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }
CString FromQt(const QString& s) {
  QByteArray bytes = s.toUtf8();
  return CString(bytes.constData(), static_cast<size_t>(bytes.size()));
}

// QSettings reads "/" and "\" in a name as a group separator; the store's
// names are flat.
bool ValidName(const CString& name) {
  return !name.empty() && name.find('/') == CString::npos && name.find('\\') == CString::npos;
}

// A stored number as a 32-bit value: decimal text (surrounding blanks
// allowed), wider values keep their low 32 bits as a DWORD would.
bool ParseInt(const QVariant& value, int& out) {
  switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
      out = static_cast<int>(static_cast<uint32_t>(value.toULongLong()));
      return true;
    case QMetaType::QString: {
      QByteArray text = value.toString().trimmed().toLatin1();
      const char* p = text.constData();
      const char* end = p + text.size();
      if (p < end && *p == '+') ++p;
      long long v = 0;
      auto [next, error] = std::from_chars(p, end, v);
      if (error != std::errc() || next != end || next == p) return false;
      out = static_cast<int>(static_cast<uint32_t>(static_cast<unsigned long long>(v)));
      return true;
    }
    default:
      return false;
  }
}
}  // namespace

QtSettingsStore::QtSettingsStore(const CString& path)
    : m_Path(path), m_Settings(std::make_unique<QSettings>(ToQt(path), QSettings::IniFormat)) {}

QtSettingsStore::~QtSettingsStore() { m_Settings->sync(); }

CString QtSettingsStore::DefaultPath() {
  QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
  return FromQt(folder + "/Havrel/Orvane.ini");
}

QString QtSettingsStore::FindKey(const CString& section, const CString& entry) const {
  if (!ValidName(section) || !ValidName(entry)) return QString();
  const QString wantedSection = ToQt(section);
  const QString wantedEntry = ToQt(entry);
  for (const QString& group : m_Settings->childGroups()) {
    if (group.compare(wantedSection, Qt::CaseInsensitive) != 0) continue;
    m_Settings->beginGroup(group);
    const QStringList keys = m_Settings->childKeys();
    m_Settings->endGroup();
    for (const QString& key : keys)
      if (key.compare(wantedEntry, Qt::CaseInsensitive) == 0) return group + "/" + key;
  }
  return QString();
}

QString QtSettingsStore::KeyForWrite(const CString& section, const CString& entry) {
  const QString wantedSection = ToQt(section);
  const QString wantedEntry = ToQt(entry);
  QString chosen;
  QString chosenGroup;
  for (const QString& group : m_Settings->childGroups()) {
    if (group.compare(wantedSection, Qt::CaseInsensitive) != 0) continue;
    if (chosenGroup.isEmpty()) chosenGroup = group;
    m_Settings->beginGroup(group);
    const QStringList keys = m_Settings->childKeys();
    m_Settings->endGroup();
    for (const QString& key : keys) {
      if (key.compare(wantedEntry, Qt::CaseInsensitive) != 0) continue;
      if (chosen.isEmpty())
        chosen = group + "/" + key;
      else
        m_Settings->remove(group + "/" + key);  // a second spelling: one value is kept
    }
  }
  if (!chosen.isEmpty()) return chosen;
  return (chosenGroup.isEmpty() ? wantedSection : chosenGroup) + "/" + wantedEntry;
}

bool QtSettingsStore::Write(const CString& section, const CString& entry, const QVariant& value) {
  if (!ValidName(section) || !ValidName(entry) || !m_Settings->isWritable()) return false;
  m_Settings->setValue(KeyForWrite(section, entry), value);
  return m_Settings->status() == QSettings::NoError;
}

int QtSettingsStore::GetProfileInt(const CString& section, const CString& entry, int defaultValue) {
  QString key = FindKey(section, entry);
  if (key.isEmpty()) return defaultValue;
  int value = 0;
  return ParseInt(m_Settings->value(key), value) ? value : defaultValue;
}

bool QtSettingsStore::WriteProfileInt(const CString& section, const CString& entry, int value) {
  return Write(section, entry, QVariant(value));
}

CString QtSettingsStore::GetProfileString(const CString& section, const CString& entry,
                                          const CString& defaultValue) {
  QString key = FindKey(section, entry);
  if (key.isEmpty()) return defaultValue;
  QVariant value = m_Settings->value(key);
  switch (value.typeId()) {
    case QMetaType::QString:
      return FromQt(value.toString());
    case QMetaType::QStringList:
      // An unquoted text with commas, as a hand-edited file may hold.
      return FromQt(value.toStringList().join(", "));
    case QMetaType::QByteArray:
      return defaultValue;  // a binary value is not text
    default:
      return value.canConvert<QString>() ? FromQt(value.toString()) : defaultValue;
  }
}

bool QtSettingsStore::WriteProfileString(const CString& section, const CString& entry, const CString& value) {
  return Write(section, entry, QVariant(ToQt(value)));
}

bool QtSettingsStore::GetProfileBinary(const CString& section, const CString& entry, std::vector<BYTE>& data) {
  QString key = FindKey(section, entry);
  if (key.isEmpty()) return false;
  QVariant value = m_Settings->value(key);
  if (value.typeId() != QMetaType::QByteArray) return false;
  QByteArray bytes = value.toByteArray();
  data.assign(reinterpret_cast<const BYTE*>(bytes.constData()),
              reinterpret_cast<const BYTE*>(bytes.constData()) + bytes.size());
  return true;
}

bool QtSettingsStore::WriteProfileBinary(const CString& section, const CString& entry,
                                         const std::vector<BYTE>& data) {
  return Write(section, entry,
               QVariant(QByteArray(reinterpret_cast<const char*>(data.data()), static_cast<qsizetype>(data.size()))));
}

bool QtSettingsStore::DeleteValue(const CString& section, const CString& entry) {
  QString key = FindKey(section, entry);
  if (key.isEmpty() || !m_Settings->isWritable()) return false;
  m_Settings->remove(key);
  return true;
}

bool QtSettingsStore::Flush() {
  m_Settings->sync();
  return m_Settings->status() == QSettings::NoError;
}
