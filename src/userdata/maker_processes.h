// Stopping the maker's running processes before their files and keys are removed.
#pragma once

// Terminates every running process whose executable is named "lumosched.exe", "lumoplay.exe" or
// "lumoevent.exe" (letter case ignored), found through the process-status library psapi.dll.
// Without that library nothing is done. Every failure is silent; the result is always 0.
int TerminateMakerProcesses();
