# Benchmarks of the database (TGeoDB) against SQLite's R*Tree.
