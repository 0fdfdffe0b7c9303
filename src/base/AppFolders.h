#pragma once

#include <string>

// Where the program finds its skins and keeps its settings and log. Every
// folder is 8-bit text in the file system's encoding and ends with '/'.
//
// A portable folder (the build's bin/, an unpacked archive) holds everything:
// it is portable when a lang.xml lies beside the executable and the folder
// is writable. An installed program (/usr/bin) keeps the user's settings in
// the user's own folders instead: $XDG_CONFIG_HOME/vindrel/ (default
// ~/.config/vindrel/), what it learns by itself (the server book) in
// $XDG_STATE_HOME/vindrel/ (default ~/.local/state/vindrel/) and its log in
// log/ below that. On Windows (AppFolders_win.cpp) those are
// %APPDATA%\Vindrel\, %LOCALAPPDATA%\Vindrel\ and %LOCALAPPDATA%\Vindrel\log\,
// written with '/'.
struct AppFolders
{
    std::string resources;  // skins and images
    std::string settings;   // lang.xml and every other per-user setting
    std::string state;      // what the program learns by itself: servers.db
    std::string log;        // the message window's log
    bool portable = false;  // settings and log beside the executable
};

// What the rules look at; CurrentFolderEnvironment() reads the real one.
struct FolderEnvironment
{
    std::string executableDir;  // ends with '/'
    std::string home;           // $HOME (Windows: the user's profile folder)
    std::string configHome;     // $XDG_CONFIG_HOME, may be empty (Windows: %APPDATA%)
    std::string stateHome;      // $XDG_STATE_HOME, may be empty (Windows: %LOCALAPPDATA%)
    std::string dataFromBin;    // installed data relative to the executable, e.g. "../share/vindrel"; Windows: none
};
FolderEnvironment CurrentFolderEnvironment();

// Skins: beside the executable when vindrel.xml is there, else in the
// installed data folder when it is there, else beside the executable (where
// the missing file is then reported). Looks at the file system.
AppFolders FindAppFolders(const FolderEnvironment& env);

// The folders of this process, found once.
const AppFolders& ProgramFolders();

// Creates `folder` and its missing parents, private to the user (0700; on
// Windows they inherit the permissions of the folder they are made in).
// True when it exists afterwards.
bool MakeFolders(const std::string& folder);
