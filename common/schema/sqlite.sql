-- Response database, SQLite form.
--
-- Dates are text 'YYYY/MM/DD HH:MM:SS', which orders as time. One-letter
-- codes are 1-character text; a blank location code is stored as two
-- blanks. Only identities are NOT NULL: every other column may be NULL, so
-- that the tools' NULL rules can be exercised and any INSERT naming the
-- columns the tools read loads as it is. Every lookup path of the tools'
-- statements has an index.

-- The one-row table of expressions.
CREATE TABLE DUAL (DUMMY TEXT);
INSERT INTO DUAL VALUES ('X');

-- Station and channel epochs ------------------------------------------------

CREATE TABLE station_data (
    sta      TEXT NOT NULL,
    net      TEXT NOT NULL,
    lat      REAL,
    lon      REAL,
    elev     REAL,
    staname  TEXT,
    net_id   INTEGER,
    word_32  INTEGER,
    word_16  INTEGER,
    ondate   TEXT,
    offdate  TEXT,
    lddate   TEXT
);
CREATE INDEX station_data_epoch ON station_data (sta, net, ondate, offdate);

CREATE TABLE channel_data (
    sta           TEXT NOT NULL,
    net           TEXT NOT NULL,
    seedchan      TEXT NOT NULL,
    channel       TEXT,
    channelsrc    TEXT,
    location      TEXT NOT NULL DEFAULT '  ',
    inid          INTEGER,
    remark        TEXT,
    unit_signal   INTEGER,
    unit_calib    INTEGER,
    lat           REAL,
    lon           REAL,
    elev          REAL,
    edepth        REAL,
    azimuth       REAL,
    dip           REAL,
    format_id     INTEGER,
    record_length INTEGER,
    samprate      REAL,
    clock_drift   REAL,
    flags         TEXT,
    ondate        TEXT,
    offdate       TEXT,
    lddate        TEXT
);
CREATE INDEX channel_data_epoch ON channel_data (sta, net, ondate, offdate);

CREATE TABLE Station_Comment (
    sta           TEXT NOT NULL,
    net           TEXT NOT NULL,
    ondate        TEXT,
    offdate       TEXT,
    comment_id    INTEGER,
    comment_level INTEGER,
    lddate        TEXT
);
CREATE INDEX station_comment_epoch ON Station_Comment (sta, net, ondate, offdate);

CREATE TABLE Channel_Comment (
    sta           TEXT NOT NULL,
    net           TEXT NOT NULL,
    seedchan      TEXT NOT NULL,
    location      TEXT NOT NULL DEFAULT '  ',
    ondate        TEXT,
    offdate       TEXT,
    comment_id    INTEGER,
    comment_level INTEGER,
    lddate        TEXT
);
CREATE INDEX channel_comment_epoch ON Channel_Comment (sta, net, seedchan, location, ondate, offdate);

-- Response stages -------------------------------------------------------------
-- Each stage table is searched by channel, stage and date; the index leads
-- with the channel and the stage so that max(stage_seq) and the per-stage
-- lookups read a few index entries.

CREATE TABLE Poles_Zeros (
    sta       TEXT NOT NULL,
    net       TEXT NOT NULL,
    seedchan  TEXT NOT NULL,
    location  TEXT NOT NULL DEFAULT '  ',
    ondate    TEXT,
    offdate   TEXT,
    stage_seq INTEGER NOT NULL,
    pz_key    INTEGER,
    tf_type   TEXT,
    unit_in   INTEGER,
    unit_out  INTEGER,
    AO        REAL,
    AF        REAL,
    lddate    TEXT
);
CREATE INDEX poles_zeros_stage ON Poles_Zeros (sta, net, seedchan, location, stage_seq, ondate, offdate);

CREATE TABLE Coefficients (
    sta       TEXT NOT NULL,
    net       TEXT NOT NULL,
    seedchan  TEXT NOT NULL,
    location  TEXT NOT NULL DEFAULT '  ',
    ondate    TEXT,
    offdate   TEXT,
    stage_seq INTEGER NOT NULL,
    dc_key    INTEGER,
    unit_in   INTEGER,
    unit_out  INTEGER,
    tf_type   TEXT,
    lddate    TEXT
);
CREATE INDEX coefficients_stage ON Coefficients (sta, net, seedchan, location, stage_seq, ondate, offdate);

CREATE TABLE Decimation (
    sta       TEXT NOT NULL,
    net       TEXT NOT NULL,
    seedchan  TEXT NOT NULL,
    location  TEXT NOT NULL DEFAULT '  ',
    ondate    TEXT,
    offdate   TEXT,
    stage_seq INTEGER NOT NULL,
    dm_key    INTEGER,
    lddate    TEXT
);
CREATE INDEX decimation_stage ON Decimation (sta, net, seedchan, location, stage_seq, ondate, offdate);

CREATE TABLE Polynomial (
    sta       TEXT NOT NULL,
    net       TEXT NOT NULL,
    seedchan  TEXT NOT NULL,
    location  TEXT NOT NULL DEFAULT '  ',
    ondate    TEXT,
    offdate   TEXT,
    stage_seq INTEGER NOT NULL,
    pn_key    INTEGER,
    tf_type   TEXT,
    unit_in   INTEGER,
    unit_out  INTEGER,
    lddate    TEXT
);
CREATE INDEX polynomial_stage ON Polynomial (sta, net, seedchan, location, stage_seq, ondate, offdate);

CREATE TABLE Sensitivity (
    sta         TEXT NOT NULL,
    net         TEXT NOT NULL,
    seedchan    TEXT NOT NULL,
    location    TEXT NOT NULL DEFAULT '  ',
    ondate      TEXT,
    offdate     TEXT,
    stage_seq   INTEGER NOT NULL,
    sensitivity REAL,
    frequency   REAL,
    lddate      TEXT
);
CREATE INDEX sensitivity_stage ON Sensitivity (sta, net, seedchan, location, stage_seq, ondate, offdate);

-- Response dictionaries -----------------------------------------------------------

CREATE TABLE PZ_Data (
    key     INTEGER NOT NULL,
    type    TEXT NOT NULL,
    row_key INTEGER NOT NULL,
    r_value REAL,
    r_error REAL,
    i_value REAL,
    i_error REAL,
    PRIMARY KEY (key, type, row_key)
);

CREATE TABLE DC (
    key      INTEGER PRIMARY KEY,
    name     TEXT,
    symmetry TEXT
);

CREATE TABLE DC_Data (
    key         INTEGER NOT NULL,
    type        TEXT NOT NULL DEFAULT 'N',
    row_key     INTEGER NOT NULL,
    coefficient REAL,
    error       REAL,
    PRIMARY KEY (key, type, row_key)
);

CREATE TABLE DM (
    key        INTEGER PRIMARY KEY,
    samprate   REAL,
    factor     INTEGER,
    offset     INTEGER,
    delay      REAL,
    correction REAL
);

CREATE TABLE PN (
    key         INTEGER PRIMARY KEY,
    name        TEXT,
    poly_type   TEXT,
    lower_bound REAL,
    upper_bound REAL,
    max_error   REAL
);

CREATE TABLE PN_Data (
    key      INTEGER NOT NULL,
    row_key  INTEGER NOT NULL,
    pn_value REAL,
    PRIMARY KEY (key, row_key)
);

-- Comments and dictionaries ---------------------------------------------------------

CREATE TABLE D_Format (
    id     INTEGER PRIMARY KEY,
    name   TEXT,
    family INTEGER
);

CREATE TABLE D_Format_Data (
    id     INTEGER NOT NULL,
    row_id INTEGER NOT NULL,
    key_d  TEXT,
    PRIMARY KEY (id, row_id)
);

CREATE TABLE D_Comment (
    id          INTEGER PRIMARY KEY,
    class       TEXT,
    description TEXT,
    unit        INTEGER
);

CREATE TABLE D_Abbreviation (
    id          INTEGER PRIMARY KEY,
    description TEXT
);

CREATE TABLE D_Unit (
    id          INTEGER PRIMARY KEY,
    name        TEXT UNIQUE,
    description TEXT
);

-- Hardware inventory ----------------------------------------------------------

CREATE TABLE Sensor (
    sensor_id    INTEGER PRIMARY KEY,
    name         TEXT,
    serial_nb    TEXT,
    ondate       TEXT,
    offdate      TEXT,
    nb_component INTEGER
);
CREATE INDEX sensor_name ON Sensor (name);
CREATE INDEX sensor_serial ON Sensor (serial_nb);

CREATE TABLE sensor_component (
    sensor_id      INTEGER NOT NULL,
    component_nb   INTEGER NOT NULL,
    channel_comp   TEXT,
    component_type TEXT,
    sensitivity    REAL,
    frequency      REAL,
    seqresp_id     INTEGER,
    PRIMARY KEY (sensor_id, component_nb)
);

CREATE TABLE Filamp (
    filamp_id   INTEGER PRIMARY KEY,
    name        TEXT,
    serial_nb   TEXT,
    ondate      TEXT,
    offdate     TEXT,
    nb_pchannel INTEGER
);
CREATE INDEX filamp_name ON Filamp (name);
CREATE INDEX filamp_serial ON Filamp (serial_nb);

CREATE TABLE filamp_pchannel (
    filamp_id   INTEGER NOT NULL,
    pchannel_nb INTEGER NOT NULL,
    gain        REAL,
    frequency   REAL,
    seqresp_id  INTEGER,
    PRIMARY KEY (filamp_id, pchannel_nb)
);

CREATE TABLE Datalogger (
    data_id     INTEGER PRIMARY KEY,
    data_type   TEXT,
    serial_nb   TEXT,
    firmware_nb TEXT,
    ondate      TEXT,
    offdate     TEXT,
    nb_board    INTEGER,
    word_32     INTEGER,
    word_16     INTEGER,
    software    TEXT,
    software_nb TEXT
);
CREATE INDEX datalogger_type ON Datalogger (data_type);
CREATE INDEX datalogger_serial ON Datalogger (serial_nb);

CREATE TABLE datalogger_board (
    data_id   INTEGER NOT NULL,
    board_nb  INTEGER NOT NULL,
    serial_nb TEXT,
    nb_module INTEGER,
    PRIMARY KEY (data_id, board_nb)
);

CREATE TABLE datalogger_module (
    data_id     INTEGER NOT NULL,
    board_nb    INTEGER NOT NULL,
    module_nb   INTEGER NOT NULL,
    serial_nb   TEXT,
    sensitivity REAL,
    PRIMARY KEY (data_id, board_nb, module_nb)
);

-- Installations: one row per item installed at a station epoch.
CREATE TABLE Station_Sensor (
    sensor_id INTEGER NOT NULL,
    sta       TEXT,
    net       TEXT,
    ondate    TEXT,
    offdate   TEXT
);
CREATE INDEX station_sensor_item ON Station_Sensor (sensor_id);

CREATE TABLE Station_Filamp (
    filamp_id INTEGER NOT NULL,
    sta       TEXT,
    net       TEXT,
    ondate    TEXT,
    offdate   TEXT
);
CREATE INDEX station_filamp_item ON Station_Filamp (filamp_id);

CREATE TABLE Station_Datalogger (
    data_id INTEGER NOT NULL,
    sta     TEXT,
    net     TEXT,
    ondate  TEXT,
    offdate TEXT
);
CREATE INDEX station_datalogger_item ON Station_Datalogger (data_id);

-- Response sequences ------------------------------------------------------------

CREATE TABLE response (
    seqresp_id INTEGER NOT NULL,
    resp_nb    INTEGER NOT NULL,
    resp_type  TEXT,
    resp_id    INTEGER,
    unit_in    INTEGER,
    unit_out   INTEGER,
    r_type     TEXT
);
CREATE INDEX response_sequence ON response (seqresp_id, resp_nb);

CREATE TABLE response_hp (
    hp_id         INTEGER PRIMARY KEY,
    filter_type   TEXT,
    nb_pole       INTEGER,
    corner_freq   REAL,
    damping_value REAL
);

CREATE TABLE response_lp (
    lp_id         INTEGER PRIMARY KEY,
    filter_type   TEXT,
    nb_pole       INTEGER,
    corner_freq   REAL,
    damping_value REAL
);

CREATE TABLE response_pz (
    pz_id   INTEGER NOT NULL,
    pz_nb   INTEGER NOT NULL,
    type    TEXT,
    r_value REAL,
    i_value REAL
);
CREATE INDEX response_pz_rows ON response_pz (pz_id, pz_nb);

CREATE TABLE response_pn (
    pn_id       INTEGER PRIMARY KEY,
    poly_type   TEXT,
    lower_bound REAL,
    upper_bound REAL,
    max_error   REAL,
    nb_coeff    INTEGER
);

CREATE TABLE response_pn_data (
    pn_id    INTEGER NOT NULL,
    pn_nb    INTEGER NOT NULL,
    pn_value REAL
);
CREATE INDEX response_pn_data_rows ON response_pn_data (pn_id, pn_nb);

CREATE TABLE filter_fir (
    fir_id   INTEGER PRIMARY KEY,
    name     TEXT,
    symmetry TEXT,
    gain     REAL
);

-- Filter sequences -------------------------------------------------------------------

CREATE TABLE filter_sequence (
    seqfil_id INTEGER NOT NULL,
    name      TEXT NOT NULL,
    nb_filter INTEGER,
    gain      REAL,
    frequency REAL,
    lddate    TEXT
);
CREATE UNIQUE INDEX filter_sequence_name ON filter_sequence (name);

CREATE TABLE filter_sequence_data (
    seqfil_id INTEGER NOT NULL,
    filter_nb INTEGER NOT NULL,
    filter_id INTEGER,
    PRIMARY KEY (seqfil_id, filter_nb)
);

CREATE TABLE filter (
    filter_id   INTEGER PRIMARY KEY,
    gain        REAL,
    frequency   REAL,
    in_sp_rate  REAL,
    out_sp_rate REAL,
    offset      INTEGER,
    delay       REAL,
    correction  REAL,
    seqresp_id  INTEGER
);
