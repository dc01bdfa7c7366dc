#pragma once

#include <QString>

// bootline-cli --help: the options under the request they serve, and every
// exit code.
QString cliHelpText();

// Words filled into lines of 79 columns, each line after the first indented
// so; the first is taken to begin at that column too.
QString wrappedText(const QString &text, int indent);
