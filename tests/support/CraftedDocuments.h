#pragma once

#include <string>
#include <vector>

namespace quorvane::test
{

/** Documents crafted against the framework's XML parser, each as a host state chunk's text,
    a preset file or a preferences file would hold it: entities that expand beyond any
    memory, a DOCTYPE that names an endless file, nesting deeper than any stack, and the
    widest documents the size limit allows. Each names the parameter mix_mode, so a reader
    that lets one through shows it. */
struct CraftedDocument
{
    std::string name;
    std::string text;
    bool accepted; // whether a reader with every check in place restores it
};

inline std::string repeated (const std::string& part, size_t times)
{
    std::string text;
    text.reserve (part.size() * times);
    for (size_t i = 0; i < times; ++i)
        text += part;
    return text;
}

/** Entities of `levels` levels, each ten of the one below; the last is used once. */
inline std::string entity_expansion (int levels, const std::string& root = "Quorvane_State")
{
    std::string doctype = "<!DOCTYPE " + root + " [<!ENTITY l0 \"lollollollollollollollollollol\">";
    for (int level = 1; level <= levels; ++level)
        doctype += "<!ENTITY l" + std::to_string (level) + " \"" + repeated ("&l" + std::to_string (level - 1) + ";", 10) + "\">";
    doctype += "]>";
    return "<?xml version=\"1.0\"?>" + doctype + "<" + root + "><PARAM id=\"mix_mode\" value=\"4\" x=\"&l"
           + std::to_string (levels) + ";\"/></" + root + ">";
}

inline std::string nested (size_t depth, const std::string& root = "Quorvane_State")
{
    return "<" + root + "><PARAM id=\"mix_mode\" value=\"4\"/>" + repeated ("<a>", depth - 1) + repeated ("</a>", depth - 1) + "</" + root + ">";
}

inline std::string distinct_attributes (size_t count)
{
    std::string text;
    for (size_t i = 0; i < count; ++i)
        text += " a" + std::to_string (i) + "=\"\"";
    return text;
}

inline std::vector<CraftedDocument> crafted_documents (const std::string& root = "Quorvane_State")
{
    const std::string open = "<" + root + ">", close = "</" + root + ">";
    const std::string param = "<PARAM id=\"mix_mode\" value=\"4\"/>";
    constexpr size_t limit = 1 << 20;

    return {
        { "entities of two levels", entity_expansion (2, root), false },
        { "entities of six levels", entity_expansion (6, root), false },
        { "an entity in text", "<!DOCTYPE x [<!ENTITY e \"<a><a><a/></a></a>\">]>" + open + param + "&e;" + close, false },
        { "a DOCTYPE that names an endless file", "<!DOCTYPE x SYSTEM \"/dev/zero\">" + open + param + "&e;" + close, false },
        { "an undeclared entity", open + param + "&e;" + close, false },
        { "a DOCTYPE inside", open + param + "<!DOCTYPE x>" + close, false },
        { "nested three deep", nested (3, root), false },
        { "nested 50000 deep", nested (50000, root), false },
        { "a reference to no character", open + "<PARAM id=\"mix_mode\" value=\"&#0;4\"/>" + close, false },
        { "a reference past the last code point", open + "<PARAM id=\"mix_mode\" value=\"&#x110000;4\"/>" + close, false },
        { "one byte over the size limit", open + param + repeated (" ", limit - open.size() - param.size() - close.size() + 1) + close, false },
        { "one name over the limit", open + repeated (param, 341) + "<a/>" + close, false },
        { "references and the predefined entities", open + "<PARAM id=\"mix_&#x6d;ode\" value=\"&#52;\" x=\"&amp;&lt;&gt;&quot;&apos;&#x10FFFF;\"/>" + close, true },
        { "comments, text and character data", "<!-- a -->" + open + "<!-- b -->" + param + "t<![CDATA[<!DOCTYPE>]]>" + close + "<!-- c -->", true },
        { "the most elements", open + repeated (param, 341) + close, true },
        { "the most attributes", open + "<PARAM id=\"mix_mode\" value=\"4\"" + distinct_attributes (1020) + "/>" + close, true },
        { "references beyond the limit", open + "<PARAM id=\"mix_mode\" value=\"4\" x=\"" + repeated ("&#233;", (limit - 128) / 6) + "\"/>" + close, false },
        { "the most references", open + param + "<PARAM id=\"x\" value=\"" + repeated ("&#233;", 42) + "\"/>" + repeated ("&#233;", 970) + close, true },
        { "a value over the limit", open + "<PARAM id=\"mix_mode\" value=\"4\" x=\"" + repeated ("\xc3\xa9", 129) + "\"/>" + close, false },
        { "the longest values", open + repeated ("<PARAM id=\"mix_mode\" value=\"4\" x=\"" + repeated ("\xc3\xa9", 128) + "\"/>", 250) + close, true },
        { "the longest text", open + param + repeated ("\xc3\xa9", (limit - 128) / 2) + close, true },
        { "the most comments", open + param + repeated ("<!---->", (limit - 128) / 7) + close, true },
    };
}

} // namespace quorvane::test
