#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

#include <functional>

// Points HOME, the XDG folders and TMPDIR at a private temporary folder, so that no test
// touches the real user's files. Called once before the application object exists.
void IsolateFromUserEnvironment();

QByteArray ReadBytes(const QString& path);
void WriteBytes(const QString& path, const QByteArray& data);
// UTF-16 LE with the mark FF FE, as the program writes its files.
QByteArray Utf16Le(const QString& text);
// A readable form of bytes for failure messages: hex with printable ASCII.
std::string Dump(const QByteArray& bytes);

// Runs the event loop until condition holds or timeoutMs pass; returns whether it held. Use it
// as ASSERT_TRUE(WaitFor(...)): QtTest's QTRY_ macros report nothing under GoogleTest.
bool WaitFor(const std::function<bool()>& condition, int timeoutMs = 5000);
