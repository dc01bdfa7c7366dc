#pragma once

#include <QString>

// bootline-cli --help: the options under the request they serve, and every
// exit code.
QString cliHelpText();
