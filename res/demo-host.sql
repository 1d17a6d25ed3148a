-- The demo host database: one company, a session that selects it, and the demo's own drive C: (the folder
-- of this database file). Built by the build into build/bin/demo-host.sqlite.
INSERT INTO session (user_id, selected_no, selected_no2, app_folder, settings_folder, package_name)
  VALUES ('yamada', 1, 1, 'C:\Data', 'C:\Settings', 'Taliskor２２');
INSERT INTO companies (data_no, data_id, name, period_start, period_end, period_option, data_kind, tax_included)
  VALUES (1, 'D0000001', '株式会社やまびこ商事', 20230401, 20240331, 0, 0, 0);
INSERT INTO drives (name, type, root) VALUES ('C', 3, '.');
