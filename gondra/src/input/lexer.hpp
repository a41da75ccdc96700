#pragma once
// Splits program text into tokens. Theory terms use their own operator
// tokens (maximal runs of operator characters), so the parser re-lexes in
// theory mode where those terms start.

#include "input/messages.hpp"

#include <cstdint>
#include <string>
#include <string_view>

namespace Gondra::Input {

enum class TokenKind {
    End,
    Error,
    Identifier,
    Variable,
    Anonymous, // _
    Number,
    String,
    Directive, // #word: #const, #show, #inf, #count, ...
    LParen,
    RParen,
    LBracket,
    RBracket,
    LBrace,
    RBrace,
    Comma,
    Semicolon,
    Dot,
    DotDot,
    Colon,
    If,   // :-
    Weak, // :~
    Bar,
    At,
    Equal,    // = or ==
    NotEqual, // !=
    Less,
    LessEqual,
    Greater,
    GreaterEqual,
    Plus,
    Minus,
    Star,
    Power,
    Slash,
    Backslash,
    Ampersand,
    Question,
    Caret,
    Tilde,
    TheoryOperator, // theory mode only
};

struct Token {
    TokenKind kind = TokenKind::End;
    std::string text; // identifiers, variables, directive words, operators; unescaped string contents
    int64_t number = 0;
    size_t offset = 0; // start in the source
    Location location;
};

class Lexer {
public:
    // file must be interned; errors go to messages.
    Lexer(std::string_view source, char const* file, Messages& messages);

    Token next(bool theory_mode);
    // Continue lexing at a byte offset (the start of a token already seen).
    void reset(size_t offset, size_t line, size_t column);

private:
    char peek(size_t ahead = 0) const noexcept {
        return pos_ + ahead < source_.size() ? source_[pos_ + ahead] : '\0';
    }
    bool at_end() const noexcept { return pos_ >= source_.size(); }
    void advance();
    bool skip_space_and_comments(); // false after an unterminated comment
    void lex_string(Token& token);
    void lex_number(Token& token);
    void finish(Token& token);

    std::string_view source_;
    char const* file_;
    Messages& messages_;
    size_t pos_ = 0;
    size_t line_ = 1;
    size_t column_ = 1;
};

char const* token_description(TokenKind kind);

} // namespace Gondra::Input
