#include "input/lexer.hpp"

#include <limits>

namespace Gondra::Input {

namespace {

bool is_lower(char c) { return c >= 'a' && c <= 'z'; }
bool is_upper(char c) { return c >= 'A' && c <= 'Z'; }
bool is_digit(char c) { return c >= '0' && c <= '9'; }
bool is_name_char(char c) { return is_lower(c) || is_upper(c) || is_digit(c) || c == '_' || c == '\''; }
bool is_theory_operator_char(char c) {
    switch (c) {
    case '!': case '<': case '=': case '>': case '+': case '-': case '*': case '/': case '\\':
    case '?': case '&': case '@': case '|': case '.': case '~': case '^':
        return true;
    default:
        return false;
    }
}

} // namespace

char const* token_description(TokenKind kind) {
    switch (kind) {
    case TokenKind::End: return "end of input";
    case TokenKind::Error: return "invalid token";
    case TokenKind::Identifier: return "identifier";
    case TokenKind::Variable: return "variable";
    case TokenKind::Anonymous: return "_";
    case TokenKind::Number: return "number";
    case TokenKind::String: return "string";
    case TokenKind::Directive: return "directive";
    case TokenKind::LParen: return "(";
    case TokenKind::RParen: return ")";
    case TokenKind::LBracket: return "[";
    case TokenKind::RBracket: return "]";
    case TokenKind::LBrace: return "{";
    case TokenKind::RBrace: return "}";
    case TokenKind::Comma: return ",";
    case TokenKind::Semicolon: return ";";
    case TokenKind::Dot: return ".";
    case TokenKind::DotDot: return "..";
    case TokenKind::Colon: return ":";
    case TokenKind::If: return ":-";
    case TokenKind::Weak: return ":~";
    case TokenKind::Bar: return "|";
    case TokenKind::At: return "@";
    case TokenKind::Equal: return "=";
    case TokenKind::NotEqual: return "!=";
    case TokenKind::Less: return "<";
    case TokenKind::LessEqual: return "<=";
    case TokenKind::Greater: return ">";
    case TokenKind::GreaterEqual: return ">=";
    case TokenKind::Plus: return "+";
    case TokenKind::Minus: return "-";
    case TokenKind::Star: return "*";
    case TokenKind::Power: return "**";
    case TokenKind::Slash: return "/";
    case TokenKind::Backslash: return "\\";
    case TokenKind::Ampersand: return "&";
    case TokenKind::Question: return "?";
    case TokenKind::Caret: return "^";
    case TokenKind::Tilde: return "~";
    case TokenKind::TheoryOperator: return "theory operator";
    }
    return "token";
}

Lexer::Lexer(std::string_view source, char const* file, Messages& messages)
    : source_{source}, file_{file}, messages_{messages} {}

void Lexer::reset(size_t offset, size_t line, size_t column) {
    pos_ = offset;
    line_ = line;
    column_ = column;
}

void Lexer::advance() {
    if (at_end()) return;
    if (source_[pos_] == '\n') {
        ++line_;
        column_ = 1;
    } else {
        ++column_;
    }
    ++pos_;
}

bool Lexer::skip_space_and_comments() {
    for (;;) {
        char c = peek();
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v') {
            advance();
        } else if (c == '%' && peek(1) == '*') {
            Location start{file_, file_, line_, line_, column_, column_ + 2};
            advance();
            advance();
            // Block comments nest so that commenting out a region that holds one works.
            int depth = 1;
            while (depth > 0) {
                if (at_end()) {
                    messages_.error(start, "unterminated block comment");
                    return false;
                }
                if (peek() == '%' && peek(1) == '*') {
                    advance();
                    advance();
                    ++depth;
                } else if (peek() == '*' && peek(1) == '%') {
                    advance();
                    advance();
                    --depth;
                } else {
                    advance();
                }
            }
        } else if (c == '%') {
            while (!at_end() && peek() != '\n') advance();
        } else {
            return true;
        }
    }
}

void Lexer::finish(Token& token) {
    token.location.end_line = line_;
    token.location.end_column = column_;
}

void Lexer::lex_string(Token& token) {
    token.kind = TokenKind::String;
    advance(); // opening quote
    for (;;) {
        char c = peek();
        if (at_end() || c == '\n') {
            finish(token);
            messages_.error(token.location, "unterminated string");
            token.kind = TokenKind::Error;
            return;
        }
        if (c == '"') {
            advance();
            return;
        }
        if (c == '\\') {
            char e = peek(1);
            if (e == '\\' || e == '"' || e == 'n') {
                token.text += e == 'n' ? '\n' : e;
                advance();
                advance();
                continue;
            }
            Location at{file_, file_, line_, line_, column_, column_ + 2};
            messages_.error(at, "invalid escape sequence in string");
            token.kind = TokenKind::Error;
            advance();
            continue;
        }
        token.text += c;
        advance();
    }
}

void Lexer::lex_number(Token& token) {
    token.kind = TokenKind::Number;
    // 2^31 itself is kept: it is only valid right after a unary minus, which
    // the parser checks where it knows the context.
    constexpr int64_t limit = int64_t{std::numeric_limits<int32_t>::max()} + 1;
    bool overflow = false;
    int64_t value = 0;
    while (is_digit(peek())) {
        value = value * 10 + (peek() - '0');
        if (value > limit) {
            overflow = true;
            value = 0;
        }
        advance();
    }
    if (overflow) {
        finish(token);
        messages_.error(token.location, "number out of range");
        token.kind = TokenKind::Error;
    }
    token.number = value;
}

Token Lexer::next(bool theory_mode) {
    Token token;
    bool comments_ok = skip_space_and_comments();
    token.offset = pos_;
    token.location = Location{file_, file_, line_, line_, column_, column_};
    if (!comments_ok || at_end()) {
        token.kind = TokenKind::End;
        return token;
    }
    char c = peek();
    auto single = [&](TokenKind kind, size_t length = 1) {
        token.kind = kind;
        for (size_t i = 0; i < length; ++i) advance();
    };
    if (is_lower(c) || is_upper(c) || c == '_') {
        size_t start = pos_;
        while (peek() == '_') advance();
        char first = peek();
        if (!is_lower(first) && !is_upper(first)) {
            if (pos_ - start == 1 && !is_digit(first) && first != '\'') {
                token.kind = TokenKind::Anonymous;
                token.text = "_";
            } else {
                while (is_name_char(peek())) advance();
                finish(token);
                messages_.error(token.location, "invalid name");
                token.kind = TokenKind::Error;
                return token;
            }
        } else {
            while (is_name_char(peek())) advance();
            token.text = std::string{source_.substr(start, pos_ - start)};
            token.kind = is_upper(first) ? TokenKind::Variable : TokenKind::Identifier;
        }
    } else if (is_digit(c)) {
        lex_number(token);
    } else if (c == '"') {
        lex_string(token);
    } else if (c == '#' && is_lower(peek(1))) {
        advance();
        size_t start = pos_;
        while (is_name_char(peek())) advance();
        token.kind = TokenKind::Directive;
        token.text = std::string{source_.substr(start, pos_ - start)};
    } else if (c == '(') {
        single(TokenKind::LParen);
    } else if (c == ')') {
        single(TokenKind::RParen);
    } else if (c == '[') {
        single(TokenKind::LBracket);
    } else if (c == ']') {
        single(TokenKind::RBracket);
    } else if (c == '{') {
        single(TokenKind::LBrace);
    } else if (c == '}') {
        single(TokenKind::RBrace);
    } else if (c == ',') {
        single(TokenKind::Comma);
    } else if (c == ';') {
        single(TokenKind::Semicolon);
    } else if (c == ':') {
        if (peek(1) == '-') single(TokenKind::If, 2);
        else if (peek(1) == '~') single(TokenKind::Weak, 2);
        else single(TokenKind::Colon);
    } else if (theory_mode && c == '.' && peek(1) != '.') {
        // A lone dot ends the statement even when an operator character follows.
        single(TokenKind::Dot);
    } else if (theory_mode && is_theory_operator_char(c)) {
        size_t start = pos_;
        while (is_theory_operator_char(peek())) advance();
        token.text = std::string{source_.substr(start, pos_ - start)};
        token.kind = token.text == "." ? TokenKind::Dot : TokenKind::TheoryOperator;
    } else if (c == '.') {
        single(peek(1) == '.' ? TokenKind::DotDot : TokenKind::Dot, peek(1) == '.' ? 2 : 1);
    } else if (c == '|') {
        single(TokenKind::Bar);
    } else if (c == '@') {
        single(TokenKind::At);
    } else if (c == '=') {
        single(TokenKind::Equal, peek(1) == '=' ? 2 : 1);
    } else if (c == '!' && peek(1) == '=') {
        single(TokenKind::NotEqual, 2);
    } else if (c == '<') {
        if (peek(1) == '=') single(TokenKind::LessEqual, 2);
        else if (peek(1) == '>') single(TokenKind::NotEqual, 2);
        else single(TokenKind::Less);
    } else if (c == '>') {
        if (peek(1) == '=') single(TokenKind::GreaterEqual, 2);
        else single(TokenKind::Greater);
    } else if (c == '+') {
        single(TokenKind::Plus);
    } else if (c == '-') {
        single(TokenKind::Minus);
    } else if (c == '*') {
        if (peek(1) == '*') single(TokenKind::Power, 2);
        else single(TokenKind::Star);
    } else if (c == '/') {
        single(TokenKind::Slash);
    } else if (c == '\\') {
        single(TokenKind::Backslash);
    } else if (c == '&') {
        single(TokenKind::Ampersand);
    } else if (c == '?') {
        single(TokenKind::Question);
    } else if (c == '^') {
        single(TokenKind::Caret);
    } else if (c == '~') {
        single(TokenKind::Tilde);
    } else {
        advance();
        // Keep multi-byte characters together so the message points at one character.
        while (!at_end() && (static_cast<unsigned char>(peek()) & 0xC0) == 0x80) advance();
        finish(token);
        messages_.error(token.location, "unexpected character");
        token.kind = TokenKind::Error;
        return token;
    }
    finish(token);
    return token;
}

} // namespace Gondra::Input
