# cmake -DSQLITE3=<sqlite3> -DSCRIPT=<file.sql> -DDATABASE=<file> -P makedatabase.cmake
# Runs an SQL script into a new SQLite database. The database appears only when the whole script
# ran: it is made under another name and renamed at the end.
file(REMOVE "${DATABASE}.new")
execute_process(COMMAND "${SQLITE3}" -bail "${DATABASE}.new"
    INPUT_FILE "${SCRIPT}" RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    file(REMOVE "${DATABASE}.new")
    message(FATAL_ERROR "sqlite3 could not run ${SCRIPT}: ${result}")
endif()
file(RENAME "${DATABASE}.new" "${DATABASE}")
