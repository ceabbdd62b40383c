// The music service's data: three key trees and three database files in the system folder,
// found before anything is removed, and erased only when the user answers N.
#pragma once

// 1 when the per-user or the machine-wide "Software\Orvane\Tunelane-OV" key exists, or one of
// "db.lma", "tac.lma", "mcs.lma" is a file in the system folder.
int ProbeMusicData();

// Asks whether the music service's data stays: 1 (erase) only for N or n.
int AskEraseMusicData();

// Deletes the three key trees and the three files, and prints "\nLumora Music info removed.\n"
// whatever was left to delete.
void RemoveMusicData();
