#pragma once

#include "config/BaseConfigMgr.h"

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

// A temporary folder for settings files.
class ConfigFileTest : public ::testing::Test
{
protected:
    QString path(const QString& name) const { return m_dir.path() + QLatin1Char('/') + name; }
    // A file name the folder can hold but whose temporary twin ("<name>.XXXXXX") is too long:
    // such a file can be read but never replaced, even by root.
    QString unwritablePath() const;

private:
    QTemporaryDir m_dir;
};

// The lines, each followed by CR LF, in UTF-16 LE with the mark FF FE.
QByteArray IniBytes(const QStringList& lines);
// The store as text, sections sorted by name: "[name]" then "key=value" lines in list order.
QStringList StoreDump(const TBaseConfigMgr& store);
