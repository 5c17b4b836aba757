#pragma once

#include <QStringList>

// --add-user NAME --role ROLE, --remove-user NAME and --list-users: they
// change or show the station's users file and exit, without a window.
bool asksForUserCommand(int argc, char **argv);
int runUserCommand(int argc, char **argv);
