// Creates a SQLite file from SQL scripts: run_sql OUT.sqlite SCRIPT... (an existing OUT is replaced).
#include <sqlite3.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: run_sql OUT.sqlite SCRIPT...\n");
    return 64;
  }
  std::remove(argv[1]);
  sqlite3* db = nullptr;
  if (sqlite3_open(argv[1], &db) != SQLITE_OK) {
    std::fprintf(stderr, "run_sql: %s: %s\n", argv[1], sqlite3_errmsg(db));
    return 1;
  }
  for (int i = 2; i < argc; ++i) {
    std::ifstream in(argv[i], std::ios::binary);
    if (!in) {
      std::fprintf(stderr, "run_sql: cannot read %s\n", argv[i]);
      sqlite3_close(db);
      return 1;
    }
    std::ostringstream ss;
    ss << in.rdbuf();
    char* err = nullptr;
    if (sqlite3_exec(db, ss.str().c_str(), nullptr, nullptr, &err) != SQLITE_OK) {
      std::fprintf(stderr, "run_sql: %s: %s\n", argv[i], err != nullptr ? err : "error");
      sqlite3_free(err);
      sqlite3_close(db);
      return 1;
    }
  }
  sqlite3_close(db);
  return 0;
}
