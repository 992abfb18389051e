#pragma once
// Texts the engine, the serial core and the support services show to a user. They
// are built in English (the command-line program prints them as they are) from a
// template marked with ZUL_TEXT, which the window program's translation reads; the
// window finds the template again in a finished text and shows it in its language
// (ui/ZEngineText.h).

#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// An English template: %1 to %9 stand for the arguments. The context groups the
// translation (the module that says it).
struct ZULTextTemplate {
    const char* Context;
    const char* Source;
};

// Marks a template for the translation tools: they read ZUL_TEXT as Qt's
// QT_TRANSLATE_NOOP (translations/update.sh).
#define ZUL_TEXT(context, source) ZULTextTemplate{context, source}

// The template with %1..%9 replaced by the arguments, in one pass (an argument that
// holds "%2" stays as it is). Remembers the template for ZULUsedTextTemplates; any
// thread may call it.
std::string ZULFormat(const ZULTextTemplate& text, std::initializer_list<std::string_view> args = {});

// Every template ZULFormat has filled in this process so far, each once: a text can only
// have been made from one of these.
std::vector<ZULTextTemplate> ZULUsedTextTemplates();
