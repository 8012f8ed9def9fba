-- The database of Tallowick. The program never creates it: `twk init-db` does.
CREATE TABLE [profile] (
    [profile_id] INTEGER PRIMARY KEY,
    [name] TEXT
);
CREATE TABLE [option] (
    [profile_id] INTEGER,
    [option] INTEGER,
    [value] TEXT,
    UNIQUE ([profile_id], [option])
);
CREATE TABLE [message] (
    [message_id] INTEGER PRIMARY KEY,
    [profile_id] INTEGER,
    [subject] TEXT,
    [msg] TEXT
);
CREATE TABLE [forum] (
    [forum_id] INTEGER PRIMARY KEY,
    [profile_id] INTEGER,
    [engine] TEXT,
    [main_url] TEXT,
    [title] TEXT,
    [flags] INTEGER,
    [forum_key] TEXT,
    [forum_title] TEXT,
    [login] TEXT,
    [pass] TEXT
);
CREATE TABLE [submit] (
    [submit_id] INTEGER PRIMARY KEY,
    [forum_id] INTEGER,
    [message_id] INTEGER,
    [stime] INTEGER,
    [result] INTEGER,
    [thread] TEXT,
    [err] TEXT
);
-- The marker row: a file without it is not a Tallowick database.
INSERT INTO [option] ([profile_id], [option], [value]) VALUES (0, 0, '1');
