// Play mode and repeat, kept between runs in an INI file beside the program file.
#pragma once

// Read at start-up, handed to the player, and handed back by it at shutdown. Neither value is
// range-checked: whatever integer the file holds is kept and written back.
struct PlayerSettings {
    int playMode;
    int repeat;
};

void ReadSettings(PlayerSettings* settings);
void WriteSettings(const PlayerSettings* settings);
int ReadIniInt(const char* path, const char* section, const char* key, int def);
void WriteIniFlag(const char* path, const char* section, const char* key, int value);
void WriteIniInt(const char* path, const char* section, const char* key, int value);
// Reads a decimal integer the way "%d" does (leading blanks, optional sign, digits up to the
// first other character). 0 when there is no number, or when it lies outside the 32-bit range.
int ParseIniInt(const char* text, int* value);
