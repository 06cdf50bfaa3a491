#pragma once

#include <QString>

// Windows only. The path as Qt's files hand it to Windows: absolute, in the
// long-path form (\\?\C:\..., \\?\UNC\server\share\...), which Windows takes
// literally and past MAX_PATH's 260 characters. Through the ordinary form the
// same path may name no file (too long) or another one (a trailing space or
// dot dropped).
namespace NativePath {

QString longForm(const QString &path);

}  // namespace NativePath
