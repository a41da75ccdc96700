#include "solve/dimacs_reader.hpp"

#include <cstdio>
#include <fstream>
#include <limits>
#include <sstream>
#include <vector>

namespace Gondra::Solve {

bool DimacsReader::read_file(std::string const& path, Problem& problem, DimacsInfo& info,
                             std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = path + ": error: cannot open file";
        return false;
    }
    std::ostringstream buffer;
    buffer << in.rdbuf();
    if (in.bad()) {
        error = path + ": error: cannot read file";
        return false;
    }
    return parse(buffer.str(), path, problem, info, error);
}

namespace {

class Cursor {
public:
    Cursor(std::string_view text, std::string const& name) : text_(text), name_(name) {}

    bool at_end() const { return pos_ >= text_.size(); }
    char peek() const { return text_[pos_]; }
    void advance() {
        if (text_[pos_] == '\n') {
            ++line_;
            line_start_ = pos_ + 1;
        }
        ++pos_;
    }
    void skip_blanks() {
        while (!at_end() &&
               (peek() == ' ' || peek() == '\t' || peek() == '\r' || peek() == '\n' || peek() == '\f')) {
            advance();
        }
    }
    void skip_line() {
        while (!at_end() && peek() != '\n') {
            advance();
        }
    }
    std::string where(size_t from, size_t to) const {
        size_t col = from - line_start_ + 1;
        return name_ + ":" + std::to_string(line_) + ":" + std::to_string(col) + "-" +
               std::to_string(col + (to > from ? to - from : 1)) + ": error: ";
    }
    // Reads a signed decimal integer; false with a message otherwise.
    bool integer(int64_t& out, std::string& error) {
        size_t start = pos_;
        bool negative = false;
        if (!at_end() && (peek() == '-' || peek() == '+')) {
            negative = peek() == '-';
            advance();
        }
        int64_t value = 0;
        size_t digits = 0;
        while (!at_end() && peek() >= '0' && peek() <= '9') {
            value = value * 10 + (peek() - '0');
            if (value > std::numeric_limits<int32_t>::max()) {
                while (!at_end() && peek() >= '0' && peek() <= '9') {
                    advance();
                }
                error = where(start, pos_) + "number out of range";
                return false;
            }
            advance();
            ++digits;
        }
        if (digits == 0 || (!at_end() && !isspace(static_cast<unsigned char>(peek())))) {
            while (!at_end() && !isspace(static_cast<unsigned char>(peek()))) {
                advance();
            }
            error = where(start, pos_) + "expected an integer, got '" +
                    std::string(text_.substr(start, pos_ - start)) + "'";
            return false;
        }
        out = negative ? -value : value;
        return true;
    }
    std::string word() {
        std::string w;
        while (!at_end() && !isspace(static_cast<unsigned char>(peek()))) {
            w.push_back(peek());
            advance();
        }
        return w;
    }
    size_t pos() const { return pos_; }
    size_t line() const { return line_; }

private:
    std::string_view text_;
    std::string const& name_;
    size_t pos_ = 0;
    size_t line_ = 1;
    size_t line_start_ = 0;
};

} // namespace

bool DimacsReader::parse(std::string_view text, std::string const& name, Problem& problem, DimacsInfo& info,
                         std::string& error) {
    Cursor cur(text, name);
    bool header = false;
    int64_t declared_clauses = 0;
    std::vector<int32_t> clause;
    for (;;) {
        cur.skip_blanks();
        if (cur.at_end()) {
            break;
        }
        char c = cur.peek();
        if (c == 'c' || c == '%') {
            cur.skip_line();
            continue;
        }
        if (c == 'p') {
            size_t start = cur.pos();
            if (header) {
                error = cur.where(start, start + 1) + "second problem line";
                return false;
            }
            if (!clause.empty()) {
                error = cur.where(start, start + 1) + "problem line after clauses";
                return false;
            }
            cur.advance();
            cur.skip_blanks();
            size_t fstart = cur.pos();
            std::string format = cur.word();
            if (format != "cnf") {
                error =
                    cur.where(fstart, cur.pos()) + "expected 'cnf' in the problem line, got '" + format + "'";
                return false;
            }
            int64_t vars = 0;
            cur.skip_blanks();
            size_t vstart = cur.pos();
            if (!cur.integer(vars, error)) {
                return false;
            }
            if (vars < 0 || vars > (std::numeric_limits<int32_t>::max() >> 2) - 2) {
                error = cur.where(vstart, cur.pos()) + "invalid number of variables";
                return false;
            }
            cur.skip_blanks();
            size_t cstart = cur.pos();
            if (!cur.integer(declared_clauses, error)) {
                return false;
            }
            if (declared_clauses < 0) {
                error = cur.where(cstart, cur.pos()) + "invalid number of clauses";
                return false;
            }
            info.variables = static_cast<uint32_t>(vars);
            problem.reserve_variables(info.variables + 1);
            header = true;
            continue;
        }
        size_t start = cur.pos();
        if (!header) {
            error =
                cur.where(start, start + 1) + "clause before the problem line 'p cnf <variables> <clauses>'";
            return false;
        }
        int64_t lit = 0;
        if (!cur.integer(lit, error)) {
            return false;
        }
        if (lit == 0) {
            problem.add_clause(clause);
            clause.clear();
            ++info.clauses;
            continue;
        }
        int64_t var = lit < 0 ? -lit : lit;
        if (var > info.variables) {
            error = cur.where(start, cur.pos()) + "literal " + std::to_string(lit) +
                    " exceeds the declared " + std::to_string(info.variables) + " variables";
            return false;
        }
        clause.push_back(static_cast<int32_t>(lit < 0 ? lit - 1 : lit + 1));
    }
    if (!clause.empty()) {
        // A last clause without its terminating 0 is still a clause.
        problem.add_clause(clause);
        ++info.clauses;
    }
    if (!header) {
        error = name + ":1:1-2: error: missing problem line 'p cnf <variables> <clauses>'";
        return false;
    }
    if (static_cast<int64_t>(info.clauses) != declared_clauses) {
        std::fprintf(stderr, "%s: warning: %zu clauses read, %lld declared\n", name.c_str(), info.clauses,
                     static_cast<long long>(declared_clauses));
    }
    return true;
}

} // namespace Gondra::Solve
