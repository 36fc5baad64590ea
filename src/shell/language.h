#pragma once

class TfrmMainVarnel;
class TfrmOptionsVarnel;

// Fills the language table from the user's locale and, for Russian, translates the captions
// of the main menu and the database-location dialog and loads Qt's own Russian texts (the
// standard Yes, No and Cancel buttons).
void ApplyLanguage(TfrmMainVarnel& main, TfrmOptionsVarnel* options);
