-- The host database: what the accounting product knows, as the program reads it.
CREATE TABLE session (user_id TEXT NOT NULL, selected_no INTEGER NOT NULL, selected_no2 INTEGER NOT NULL,
  app_folder TEXT NOT NULL DEFAULT '', settings_folder TEXT NOT NULL DEFAULT '',
  package_name TEXT NOT NULL DEFAULT '');
CREATE TABLE companies (data_no INTEGER PRIMARY KEY, data_id TEXT NOT NULL UNIQUE, name TEXT NOT NULL,
  period_start INTEGER NOT NULL, period_end INTEGER NOT NULL, period_option INTEGER NOT NULL DEFAULT 0,
  data_kind INTEGER NOT NULL DEFAULT 0, tax_included INTEGER DEFAULT 0);
CREATE TABLE accounts (data_no INTEGER NOT NULL, account_id INTEGER NOT NULL, name TEXT NOT NULL,
  balance_side INTEGER NOT NULL DEFAULT 1, list_flag INTEGER DEFAULT 0, exclude1 INTEGER NOT NULL DEFAULT 0,
  exclude2 INTEGER NOT NULL DEFAULT 0, attributes INTEGER NOT NULL DEFAULT 0,
  PRIMARY KEY (data_no, account_id));
CREATE TABLE totals (data_no INTEGER NOT NULL, account_id INTEGER NOT NULL,
  slot INTEGER NOT NULL CHECK (slot BETWEEN 0 AND 14), debit_ex INTEGER NOT NULL DEFAULT 0,
  debit_in INTEGER NOT NULL DEFAULT 0, credit_ex INTEGER NOT NULL DEFAULT 0,
  credit_in INTEGER NOT NULL DEFAULT 0, PRIMARY KEY (data_no, account_id, slot));
CREATE TABLE drives (name TEXT PRIMARY KEY, type INTEGER NOT NULL, root TEXT NOT NULL);
CREATE TABLE faults (operation TEXT NOT NULL, after INTEGER NOT NULL DEFAULT 0, result INTEGER NOT NULL);
