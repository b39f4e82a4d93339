/* The floor of a batch: what starting a program that opens the database
 * file and closes it costs, and one read of every row.
 *
 *   bench_open_close DB            open, one statement, close
 *   bench_open_close DB COUNT      start the line above COUNT times, one after another
 *   bench_open_close --bulk DB     read every row of every table once
 */
#include <spawn.h>
#include <sqlite3.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>

extern char **environ;

static int open_close(const char *path)
{
    sqlite3 *db = NULL;
    sqlite3_stmt *st = NULL;
    if (sqlite3_open_v2(path, &db, SQLITE_OPEN_READONLY, NULL) != SQLITE_OK) return 1;
    if (sqlite3_prepare_v2(db, "select count(*) from sqlite_master", -1, &st, NULL) != SQLITE_OK) return 1;
    sqlite3_step(st);
    sqlite3_finalize(st);
    sqlite3_close(db);
    return 0;
}

static int bulk_read(const char *path)
{
    sqlite3 *db = NULL;
    sqlite3_stmt *tables = NULL;
    long long values = 0;
    if (sqlite3_open_v2(path, &db, SQLITE_OPEN_READONLY, NULL) != SQLITE_OK) return 1;
    sqlite3_prepare_v2(db, "select name from sqlite_master where type = 'table'", -1, &tables, NULL);
    while (sqlite3_step(tables) == SQLITE_ROW) {
        char sql[256];
        sqlite3_stmt *rows = NULL;
        snprintf(sql, sizeof sql, "select * from \"%s\"", (const char *)sqlite3_column_text(tables, 0));
        if (sqlite3_prepare_v2(db, sql, -1, &rows, NULL) != SQLITE_OK) continue;
        while (sqlite3_step(rows) == SQLITE_ROW)
            for (int k = 0; k < sqlite3_column_count(rows); ++k) values += sqlite3_column_bytes(rows, k) >= 0;
        sqlite3_finalize(rows);
    }
    sqlite3_finalize(tables);
    sqlite3_close(db);
    printf("%lld values\n", values);
    return 0;
}

int main(int argc, char **argv)
{
    if (argc == 3 && strcmp(argv[1], "--bulk") == 0) return bulk_read(argv[2]);
    if (argc == 2) return open_close(argv[1]);
    if (argc != 3) {
        fprintf(stderr, "usage: %s DB [COUNT] | --bulk DB\n", argv[0]);
        return 2;
    }
    long count = strtol(argv[2], NULL, 10);
    char *child[] = {argv[0], argv[1], NULL};
    for (long k = 0; k < count; ++k) {
        pid_t pid;
        int status;
        if (posix_spawn(&pid, argv[0], NULL, NULL, child, environ) != 0) return 1;
        if (waitpid(pid, &status, 0) < 0 || status != 0) return 1;
    }
    return 0;
}
