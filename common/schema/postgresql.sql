-- Response database, PostgreSQL form.
--
-- The same tables and columns as the SQLite form, in the same order, so
-- that one set of INSERT files loads into either. Dates are text
-- 'YYYY/MM/DD HH:MM:SS' as there: the tools bind and read them as that text,
-- and with the "C" collation every text column compares and orders byte by
-- byte, which for dates is time order. Numbers are double precision so that
-- the tools round a value to single precision exactly once.
--
-- Load as the database owner into an empty database:
--   psql -v ON_ERROR_STOP=1 -d DBNAME -f common/schema/postgresql.sql
-- Then give the tools' account read access (see the README).

SET client_min_messages = warning;

-- The one-row table of expressions.
CREATE TABLE dual (dummy text);
INSERT INTO DUAL VALUES ('X');

-- Station and channel epochs ------------------------------------------------

CREATE TABLE station_data (
    sta      text COLLATE "C" NOT NULL,
    net      text COLLATE "C" NOT NULL,
    lat      double precision,
    lon      double precision,
    elev     double precision,
    staname  text COLLATE "C",
    net_id   integer,
    word_32  integer,
    word_16  integer,
    ondate   text COLLATE "C",
    offdate  text COLLATE "C",
    lddate   text COLLATE "C"
);
CREATE INDEX station_data_epoch ON station_data (sta, net, ondate, offdate);

CREATE TABLE channel_data (
    sta           text COLLATE "C" NOT NULL,
    net           text COLLATE "C" NOT NULL,
    seedchan      text COLLATE "C" NOT NULL,
    channel       text COLLATE "C",
    channelsrc    text COLLATE "C",
    location      text COLLATE "C" NOT NULL DEFAULT '  ',
    inid          integer,
    remark        text COLLATE "C",
    unit_signal   integer,
    unit_calib    integer,
    lat           double precision,
    lon           double precision,
    elev          double precision,
    edepth        double precision,
    azimuth       double precision,
    dip           double precision,
    format_id     integer,
    record_length integer,
    samprate      double precision,
    clock_drift   double precision,
    flags         text COLLATE "C",
    ondate        text COLLATE "C",
    offdate       text COLLATE "C",
    lddate        text COLLATE "C"
);
CREATE INDEX channel_data_epoch ON channel_data (sta, net, ondate, offdate);

CREATE TABLE Station_Comment (
    sta           text COLLATE "C" NOT NULL,
    net           text COLLATE "C" NOT NULL,
    ondate        text COLLATE "C",
    offdate       text COLLATE "C",
    comment_id    integer,
    comment_level integer,
    lddate        text COLLATE "C"
);
CREATE INDEX station_comment_epoch ON Station_Comment (sta, net, ondate, offdate);

CREATE TABLE Channel_Comment (
    sta           text COLLATE "C" NOT NULL,
    net           text COLLATE "C" NOT NULL,
    seedchan      text COLLATE "C" NOT NULL,
    location      text COLLATE "C" NOT NULL DEFAULT '  ',
    ondate        text COLLATE "C",
    offdate       text COLLATE "C",
    comment_id    integer,
    comment_level integer,
    lddate        text COLLATE "C"
);
CREATE INDEX channel_comment_epoch ON Channel_Comment (sta, net, seedchan, location, ondate, offdate);

-- Response stages -------------------------------------------------------------
-- Each stage table is searched by channel, stage and date; the index leads
-- with the channel and the stage so that max(stage_seq) and the per-stage
-- lookups read a few index entries.

CREATE TABLE Poles_Zeros (
    sta       text COLLATE "C" NOT NULL,
    net       text COLLATE "C" NOT NULL,
    seedchan  text COLLATE "C" NOT NULL,
    location  text COLLATE "C" NOT NULL DEFAULT '  ',
    ondate    text COLLATE "C",
    offdate   text COLLATE "C",
    stage_seq integer NOT NULL,
    pz_key    integer,
    tf_type   text COLLATE "C",
    unit_in   integer,
    unit_out  integer,
    AO        double precision,
    AF        double precision,
    lddate    text COLLATE "C"
);
CREATE INDEX poles_zeros_stage ON Poles_Zeros (sta, net, seedchan, location, stage_seq, ondate, offdate);

CREATE TABLE Coefficients (
    sta       text COLLATE "C" NOT NULL,
    net       text COLLATE "C" NOT NULL,
    seedchan  text COLLATE "C" NOT NULL,
    location  text COLLATE "C" NOT NULL DEFAULT '  ',
    ondate    text COLLATE "C",
    offdate   text COLLATE "C",
    stage_seq integer NOT NULL,
    dc_key    integer,
    unit_in   integer,
    unit_out  integer,
    tf_type   text COLLATE "C",
    lddate    text COLLATE "C"
);
CREATE INDEX coefficients_stage ON Coefficients (sta, net, seedchan, location, stage_seq, ondate, offdate);

CREATE TABLE Decimation (
    sta       text COLLATE "C" NOT NULL,
    net       text COLLATE "C" NOT NULL,
    seedchan  text COLLATE "C" NOT NULL,
    location  text COLLATE "C" NOT NULL DEFAULT '  ',
    ondate    text COLLATE "C",
    offdate   text COLLATE "C",
    stage_seq integer NOT NULL,
    dm_key    integer,
    lddate    text COLLATE "C"
);
CREATE INDEX decimation_stage ON Decimation (sta, net, seedchan, location, stage_seq, ondate, offdate);

CREATE TABLE Polynomial (
    sta       text COLLATE "C" NOT NULL,
    net       text COLLATE "C" NOT NULL,
    seedchan  text COLLATE "C" NOT NULL,
    location  text COLLATE "C" NOT NULL DEFAULT '  ',
    ondate    text COLLATE "C",
    offdate   text COLLATE "C",
    stage_seq integer NOT NULL,
    pn_key    integer,
    tf_type   text COLLATE "C",
    unit_in   integer,
    unit_out  integer,
    lddate    text COLLATE "C"
);
CREATE INDEX polynomial_stage ON Polynomial (sta, net, seedchan, location, stage_seq, ondate, offdate);

CREATE TABLE Sensitivity (
    sta         text COLLATE "C" NOT NULL,
    net         text COLLATE "C" NOT NULL,
    seedchan    text COLLATE "C" NOT NULL,
    location    text COLLATE "C" NOT NULL DEFAULT '  ',
    ondate      text COLLATE "C",
    offdate     text COLLATE "C",
    stage_seq   integer NOT NULL,
    sensitivity double precision,
    frequency   double precision,
    lddate      text COLLATE "C"
);
CREATE INDEX sensitivity_stage ON Sensitivity (sta, net, seedchan, location, stage_seq, ondate, offdate);

-- Response dictionaries -----------------------------------------------------------

CREATE TABLE PZ_Data (
    key     integer NOT NULL,
    type    text COLLATE "C" NOT NULL,
    row_key integer NOT NULL,
    r_value double precision,
    r_error double precision,
    i_value double precision,
    i_error double precision,
    PRIMARY KEY (key, type, row_key)
);

CREATE TABLE DC (
    key      integer PRIMARY KEY,
    name     text COLLATE "C",
    symmetry text COLLATE "C"
);

CREATE TABLE DC_Data (
    key         integer NOT NULL,
    type        text COLLATE "C" NOT NULL DEFAULT 'N',
    row_key     integer NOT NULL,
    coefficient double precision,
    error       double precision,
    PRIMARY KEY (key, type, row_key)
);

CREATE TABLE DM (
    key        integer PRIMARY KEY,
    samprate   double precision,
    factor     integer,
    "offset"     integer,
    delay      double precision,
    correction double precision
);

CREATE TABLE PN (
    key         integer PRIMARY KEY,
    name        text COLLATE "C",
    poly_type   text COLLATE "C",
    lower_bound double precision,
    upper_bound double precision,
    max_error   double precision
);

CREATE TABLE PN_Data (
    key      integer NOT NULL,
    row_key  integer NOT NULL,
    pn_value double precision,
    PRIMARY KEY (key, row_key)
);

-- Comments and dictionaries ---------------------------------------------------------

CREATE TABLE D_Format (
    id     integer PRIMARY KEY,
    name   text COLLATE "C",
    family integer
);

CREATE TABLE D_Format_Data (
    id     integer NOT NULL,
    row_id integer NOT NULL,
    key_d  text COLLATE "C",
    PRIMARY KEY (id, row_id)
);

CREATE TABLE D_Comment (
    id          integer PRIMARY KEY,
    class       text COLLATE "C",
    description text COLLATE "C",
    unit        integer
);

CREATE TABLE D_Abbreviation (
    id          integer PRIMARY KEY,
    description text COLLATE "C"
);

CREATE TABLE D_Unit (
    id          integer PRIMARY KEY,
    name        text COLLATE "C" UNIQUE,
    description text COLLATE "C"
);

-- Hardware inventory ----------------------------------------------------------

CREATE TABLE Sensor (
    sensor_id    integer PRIMARY KEY,
    name         text COLLATE "C",
    serial_nb    text COLLATE "C",
    ondate       text COLLATE "C",
    offdate      text COLLATE "C",
    nb_component integer
);
CREATE INDEX sensor_name ON Sensor (name);
CREATE INDEX sensor_serial ON Sensor (serial_nb);

CREATE TABLE sensor_component (
    sensor_id      integer NOT NULL,
    component_nb   integer NOT NULL,
    channel_comp   text COLLATE "C",
    component_type text COLLATE "C",
    sensitivity    double precision,
    frequency      double precision,
    seqresp_id     integer,
    PRIMARY KEY (sensor_id, component_nb)
);

CREATE TABLE Filamp (
    filamp_id   integer PRIMARY KEY,
    name        text COLLATE "C",
    serial_nb   text COLLATE "C",
    ondate      text COLLATE "C",
    offdate     text COLLATE "C",
    nb_pchannel integer
);
CREATE INDEX filamp_name ON Filamp (name);
CREATE INDEX filamp_serial ON Filamp (serial_nb);

CREATE TABLE filamp_pchannel (
    filamp_id   integer NOT NULL,
    pchannel_nb integer NOT NULL,
    gain        double precision,
    frequency   double precision,
    seqresp_id  integer,
    PRIMARY KEY (filamp_id, pchannel_nb)
);

CREATE TABLE Datalogger (
    data_id     integer PRIMARY KEY,
    data_type   text COLLATE "C",
    serial_nb   text COLLATE "C",
    firmware_nb text COLLATE "C",
    ondate      text COLLATE "C",
    offdate     text COLLATE "C",
    nb_board    integer,
    word_32     integer,
    word_16     integer,
    software    text COLLATE "C",
    software_nb text COLLATE "C"
);
CREATE INDEX datalogger_type ON Datalogger (data_type);
CREATE INDEX datalogger_serial ON Datalogger (serial_nb);

CREATE TABLE datalogger_board (
    data_id   integer NOT NULL,
    board_nb  integer NOT NULL,
    serial_nb text COLLATE "C",
    nb_module integer,
    PRIMARY KEY (data_id, board_nb)
);

CREATE TABLE datalogger_module (
    data_id     integer NOT NULL,
    board_nb    integer NOT NULL,
    module_nb   integer NOT NULL,
    serial_nb   text COLLATE "C",
    sensitivity double precision,
    PRIMARY KEY (data_id, board_nb, module_nb)
);

-- Installations: one row per item installed at a station epoch.
CREATE TABLE Station_Sensor (
    sensor_id integer NOT NULL,
    sta       text COLLATE "C",
    net       text COLLATE "C",
    ondate    text COLLATE "C",
    offdate   text COLLATE "C"
);
CREATE INDEX station_sensor_item ON Station_Sensor (sensor_id);

CREATE TABLE Station_Filamp (
    filamp_id integer NOT NULL,
    sta       text COLLATE "C",
    net       text COLLATE "C",
    ondate    text COLLATE "C",
    offdate   text COLLATE "C"
);
CREATE INDEX station_filamp_item ON Station_Filamp (filamp_id);

CREATE TABLE Station_Datalogger (
    data_id integer NOT NULL,
    sta     text COLLATE "C",
    net     text COLLATE "C",
    ondate  text COLLATE "C",
    offdate text COLLATE "C"
);
CREATE INDEX station_datalogger_item ON Station_Datalogger (data_id);

-- Response sequences ------------------------------------------------------------

CREATE TABLE response (
    seqresp_id integer NOT NULL,
    resp_nb    integer NOT NULL,
    resp_type  text COLLATE "C",
    resp_id    integer,
    unit_in    integer,
    unit_out   integer,
    r_type     text COLLATE "C"
);
CREATE INDEX response_sequence ON response (seqresp_id, resp_nb);

CREATE TABLE response_hp (
    hp_id         integer PRIMARY KEY,
    filter_type   text COLLATE "C",
    nb_pole       integer,
    corner_freq   double precision,
    damping_value double precision
);

CREATE TABLE response_lp (
    lp_id         integer PRIMARY KEY,
    filter_type   text COLLATE "C",
    nb_pole       integer,
    corner_freq   double precision,
    damping_value double precision
);

CREATE TABLE response_pz (
    pz_id   integer NOT NULL,
    pz_nb   integer NOT NULL,
    type    text COLLATE "C",
    r_value double precision,
    i_value double precision
);
CREATE INDEX response_pz_rows ON response_pz (pz_id, pz_nb);

CREATE TABLE response_pn (
    pn_id       integer PRIMARY KEY,
    poly_type   text COLLATE "C",
    lower_bound double precision,
    upper_bound double precision,
    max_error   double precision,
    nb_coeff    integer
);

CREATE TABLE response_pn_data (
    pn_id    integer NOT NULL,
    pn_nb    integer NOT NULL,
    pn_value double precision
);
CREATE INDEX response_pn_data_rows ON response_pn_data (pn_id, pn_nb);

CREATE TABLE filter_fir (
    fir_id   integer PRIMARY KEY,
    name     text COLLATE "C",
    symmetry text COLLATE "C",
    gain     double precision
);

-- Filter sequences -------------------------------------------------------------------

CREATE TABLE filter_sequence (
    seqfil_id integer NOT NULL,
    name      text COLLATE "C" NOT NULL,
    nb_filter integer,
    gain      double precision,
    frequency double precision,
    lddate    text COLLATE "C"
);
CREATE UNIQUE INDEX filter_sequence_name ON filter_sequence (name);

CREATE TABLE filter_sequence_data (
    seqfil_id integer NOT NULL,
    filter_nb integer NOT NULL,
    filter_id integer,
    PRIMARY KEY (seqfil_id, filter_nb)
);

CREATE TABLE filter (
    filter_id   integer PRIMARY KEY,
    gain        double precision,
    frequency   double precision,
    in_sp_rate  double precision,
    out_sp_rate double precision,
    "offset"      integer,
    delay       double precision,
    correction  double precision,
    seqresp_id  integer
);

-- Expressions the tools' statements use -----------------------------------------
-- TO_DATE and TO_CHAR for the masks the tools use, on dates held as text.
-- PostgreSQL's own to_date drops the time of day and accepts wrong
-- separators, so these are the tools' versions: strict, text in and text out,
-- and no time zone anywhere. The tools' connection puts schema rtools ahead of
-- pg_catalog in its search path.

CREATE SCHEMA rtools;
CREATE SCHEMA truetime;

-- 'YYYY/MM/DD HH24:MI:SS' and nothing else, every field in range.
CREATE FUNCTION rtools.parse_database_date(value text) RETURNS timestamp
LANGUAGE plpgsql IMMUTABLE STRICT AS $$
DECLARE
    y int; m int; d int; h int; mi int; s int;
BEGIN
    IF value !~ '^[0-9]{4}/[0-9]{2}/[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}$' THEN
        RAISE EXCEPTION 'ORA-01861: literal does not match format string: ''%'' is not a valid date for ''YYYY/MM/DD HH24:MI:SS''', value;
    END IF;
    y := substr(value, 1, 4)::int; m := substr(value, 6, 2)::int; d := substr(value, 9, 2)::int;
    h := substr(value, 12, 2)::int; mi := substr(value, 15, 2)::int; s := substr(value, 18, 2)::int;
    IF y < 1 OR m < 1 OR m > 12 OR d < 1
       OR d > extract(day FROM make_date(y, m, 1) + interval '1 month' - interval '1 day')
       OR h > 23 OR mi > 59 OR s > 59 THEN
        RAISE EXCEPTION 'ORA-01861: literal does not match format string: ''%'' is not a valid date for ''YYYY/MM/DD HH24:MI:SS''', value;
    END IF;
    RETURN make_timestamp(y, m, d, h, mi, s);
END $$;

-- 'YYYY,DDD,HH24:MI:SS' (day of the year), strictly.
CREATE FUNCTION rtools.parse_seed_time(value text) RETURNS timestamp
LANGUAGE plpgsql IMMUTABLE STRICT AS $$
DECLARE
    y int; doy int; h int; mi int; s int;
BEGIN
    IF value !~ '^[0-9]{4},[0-9]{3},[0-9]{2}:[0-9]{2}:[0-9]{2}$' THEN
        RAISE EXCEPTION 'ORA-01861: literal does not match format string: ''%'' is not a valid date for ''YYYY,DDD,HH24:MI:SS''', value;
    END IF;
    y := substr(value, 1, 4)::int; doy := substr(value, 6, 3)::int;
    h := substr(value, 10, 2)::int; mi := substr(value, 13, 2)::int; s := substr(value, 16, 2)::int;
    IF y < 1 OR doy < 1 OR doy > extract(doy FROM make_date(y, 12, 31))
       OR h > 23 OR mi > 59 OR s > 59 THEN
        RAISE EXCEPTION 'ORA-01861: literal does not match format string: ''%'' is not a valid date for ''YYYY,DDD,HH24:MI:SS''', value;
    END IF;
    RETURN make_timestamp(y, 1, 1, h, mi, s) + (doy - 1) * interval '1 day';
END $$;

CREATE FUNCTION rtools.to_date(value text, mask text) RETURNS text
LANGUAGE plpgsql IMMUTABLE STRICT AS $$
BEGIN
    IF mask = 'YYYY/MM/DD HH24:MI:SS' THEN
        RETURN pg_catalog.to_char(rtools.parse_database_date(value), 'YYYY/MM/DD HH24:MI:SS');
    ELSIF mask = 'YYYY,DDD,HH24:MI:SS' THEN
        RETURN pg_catalog.to_char(rtools.parse_seed_time(value), 'YYYY/MM/DD HH24:MI:SS');
    END IF;
    RAISE EXCEPTION 'TO_DATE: unsupported format mask ''%''', mask;
END $$;

CREATE FUNCTION rtools.to_char(value text, mask text) RETURNS text
LANGUAGE plpgsql IMMUTABLE STRICT AS $$
BEGIN
    IF mask = 'DDD' OR mask = 'YYYY/MM/DD HH24:MI:SS' THEN
        RETURN pg_catalog.to_char(rtools.parse_database_date(value), mask);
    END IF;
    RAISE EXCEPTION 'TO_CHAR: unsupported format mask ''%''', mask;
END $$;

-- Nominal time of a date: seconds since 1970/01/01 00:00:00, no time zone.
CREATE FUNCTION truetime.string2nominal(value text) RETURNS double precision
LANGUAGE sql IMMUTABLE STRICT AS $$
    SELECT extract(epoch FROM rtools.parse_database_date(value))::double precision
$$;
