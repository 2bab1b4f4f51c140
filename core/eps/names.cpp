#include "eps/names.h"

#include <cstring>

namespace {

constexpr char EPS_EXTENSION[] = "eps";

bool IsPathSeparator(char c)
{
    return c == '\\' || c == '/' || c == ':';
}

char FoldAsciiLetter(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

std::string DeriveEpsPath(const std::string& path, LeadBytePredicate isLeadByte)
{
    size_t nameStart = 0;
    for (size_t i = 0; i < path.size(); ++i) {
        if (IsPathSeparator(path[i])) {
            nameStart = i + 1;
        } else if (isLeadByte(static_cast<unsigned char>(path[i]))) {
            ++i;
        }
    }
    const size_t dot = path.rfind('.');
    if (dot == std::string::npos || dot < nameStart) {
        return path + "." + EPS_EXTENSION;
    }
    return path.substr(0, dot + 1) + EPS_EXTENSION;
}

bool IsSameFileName(const std::string& first, const std::string& second,
                    LeadBytePredicate isLeadByte)
{
    if (first.size() != second.size()) {
        return false;
    }
    bool trailByte = false;
    for (size_t i = 0; i < first.size(); ++i) {
        const bool equal = trailByte ? first[i] == second[i]
                                     : FoldAsciiLetter(first[i]) == FoldAsciiLetter(second[i]);
        if (!equal) {
            return false;
        }
        trailByte = !trailByte && isLeadByte(static_cast<unsigned char>(first[i]));
    }
    return true;
}

bool ContainsText(const char* text, const char* word, LeadBytePredicate isLeadByte)
{
    const size_t wordLength = std::strlen(word);
    for (const char* c = text; *c != '\0'; ++c) {
        if (std::strncmp(c, word, wordLength) == 0) {
            return true;
        }
        if (isLeadByte(static_cast<unsigned char>(*c)) && c[1] != '\0') {
            ++c;
        }
    }
    return false;
}
