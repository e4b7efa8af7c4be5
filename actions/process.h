// Whether a program runs, and starting one that then runs on its own.
#pragma once

#include <string>

#include "platform/win32.h"

// 1 when a running process's executable file name is exactly name (same bytes, same
// length: letter case counts and a folder never matches), else 0.
int IsProcessRunning(std::string name);

// Starts commandLine with CreateProcessA and lets the process go: 1 when it started, else 0.
// Both outcomes are logged with the command line.
int TXCreateProcess(std::string commandLine);
