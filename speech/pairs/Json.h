#pragma once
// A small JSON reader for content files: bounded in depth and size, any bytes in, a tree or an
// error out.
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace sonavix::pairs {

struct JsonValue {
    enum class Type { Null, Bool, Number, String, Array, Object };
    Type type = Type::Null;
    bool boolean = false;
    double number = 0;
    std::string string;
    std::vector<JsonValue> array;  // an array's elements, or an object's values
    std::vector<std::string> keys; // an object's keys, in file order; the last of a repeat wins

    const JsonValue* Get(std::string_view key) const;
    bool IsString() const { return type == Type::String; }
    bool IsNumber() const { return type == Type::Number; }
    bool IsArray() const { return type == Type::Array; }
    bool IsObject() const { return type == Type::Object; }
};

struct JsonLimits {
    size_t maxBytes = 16u << 20;
    int maxDepth = 32;
    size_t maxValues = 1u << 20; // every value counted, so memory stays proportional
};

// nullptr with *error set (with the byte offset) when the text is not one JSON value.
std::unique_ptr<JsonValue> ParseJson(std::string_view text, std::string* error,
                                     const JsonLimits& limits = {});

} // namespace sonavix::pairs
