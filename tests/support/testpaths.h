#pragma once

#include <QString>

// Where this build put the programs under test, and where the checkout is.
// Only testpaths.cpp is compiled with these paths, so every other test
// object is the same in any clone and a compiler cache can reuse it.
namespace TestPaths {

QString sourceDir(); // the checkout: examples/, bench/
QString simulator(); // bootline-sim
QString cli();       // bootline-cli
QString window();    // bootline

inline QString exampleFile(const QString &name)
{
    return sourceDir() + QStringLiteral("/examples/") + name;
}

} // namespace TestPaths
