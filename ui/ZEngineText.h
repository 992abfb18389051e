#pragma once
// Shows a text that the engine, the serial core or the support services made in
// English (ZULFormat) in the language of the window program's translation.

#include <QString>
#include <string>

// The text in the user's language: the template it was made from, translated, with its
// arguments filled in (each argument that is itself such a text translated as well). A
// text made from no known template, or whose template has no translation, stays as it
// is. Window thread only (the translation is the application's).
QString ZEngineText(const std::string& english);
