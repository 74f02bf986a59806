// Everything the exported functions do, as plain C++ on the context; the
// exported names only forward here.
#pragma once

#include <cstdio>
#include <string_view>

#include "context.h"

namespace tiltra {

PTZContext* openBuiltin(const PTZOpenRecord* record);
PTZContext* openFile(const PTZOpenRecord* record);
// Opens a context on a protocol text given in memory, read like a built-in
// text; `name` decides the protocol kind. Null when the text has no line.
PTZContext* openText(const PTZOpenRecord* record, std::string_view name, std::string_view text);
// Opens a context on an open stream read like a protocol file (a null
// stream gives a context without lines).
PTZContext* openStream(const PTZOpenRecord* record, std::string_view name, std::FILE* stream);
void close(PTZContext* context);

const char* enumerate(PTZContext* context, int kind, int* length);

const unsigned char* getString(PTZContext* context, const char* command, int param1, int param2, int* count);
const char* getStringUrl(PTZContext* context, const char* command, int param1, int param2, int* count);
const char* urlCommand(const char* ip, const char* user, const char* password, const char* hex);

const void* move(PTZContext* context, int code, int param1, int param2, int* count);
const void* zoom(PTZContext* context, int code, int* count);
const void* focus(PTZContext* context, int code);
const void* iris(PTZContext* context, int code);
const void* osd(PTZContext* context, int code);
int preset(PTZContext* context, int code, int number);
int dayNight(PTZContext* context, int code);
int blc(PTZContext* context, int code);

} // namespace tiltra
