// Identifiers of the user interface's resources; read by the resource
// compiler as well as by the code.
#pragma once

// The empty dialog frame that the password prompt runs on.
#define IDD_EMPTY_DIALOG 113

// The six 32 x 32 symbols of the notice dialog, resource type "PNG": the
// identifier is IDR_SYMBOL_BASE plus the symbol's kind (1 to 6).
#define IDR_SYMBOL_BASE 140
#define IDR_SYMBOL_ERROR 141
#define IDR_SYMBOL_QUESTION 142
#define IDR_SYMBOL_INFORMATION 143
#define IDR_SYMBOL_WARNING 144
#define IDR_SYMBOL_HELP 145
#define IDR_SYMBOL_SUCCESS 146
