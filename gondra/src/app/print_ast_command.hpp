#pragma once

// `gondra --print-ast FILE`: prints the statements of FILE ("-": standard
// input) back as program text, one per line. Errors go to standard error;
// returns the exit code (0 on success, 1 on bad input).
int print_ast_command(char const* path);
