-- Demo network XY: station HILL with two epochs (the second still open),
-- its broadband channels BHZ, BHN, BHE (blank location) and a long-period
-- LHZ at location 00.
INSERT INTO station_data (sta, net, lat, lon, elev, staname, net_id, word_32, word_16, ondate, offdate, lddate) VALUES
 ('HILL', 'XY', 37.8762, -122.2356, 91, 'Hill Top Observatory', 5, 3210, 10,
  '1998/01/01 00:00:00', '2003/06/30 23:59:59', '2003/07/01 10:00:00'),
 ('HILL', 'XY', 37.8765, -122.2351, 93, 'Hill Top Observatory', 5, 3210, 10,
  '2003/07/01 00:00:00', '2599/12/31 23:59:59', '2003/07/01 10:00:00');

INSERT INTO channel_data (sta, net, seedchan, channel, channelsrc, location, inid, remark, unit_signal, unit_calib,
    lat, lon, elev, edepth, azimuth, dip, format_id, record_length, samprate, clock_drift, flags, ondate, offdate, lddate) VALUES
 ('HILL', 'XY', 'BHZ', 'BHZ', 'SEED', '  ', 1, '', 2, 3, 37.8762, -122.2356, 91, 0, 0, -90, 1, 12, 20, 0.0001, 'CG',
  '1998/01/01 00:00:00', '2003/06/30 23:59:59', '2003/07/01 10:00:00'),
 ('HILL', 'XY', 'BHZ', 'BHZ', 'SEED', '  ', 1, '', 2, 3, 37.8765, -122.2351, 93, 0, 0, -90, 1, 12, 20, 0.0001, 'CG',
  '2003/07/01 00:00:00', '2599/12/31 23:59:59', '2003/07/01 10:00:00'),
 ('HILL', 'XY', 'BHN', 'BHN', 'SEED', '  ', 1, '', 2, 3, 37.8765, -122.2351, 93, 0, 0, 0, 1, 12, 20, 0.0001, 'CG',
  '2003/07/01 00:00:00', '2599/12/31 23:59:59', '2003/07/01 10:00:00'),
 ('HILL', 'XY', 'BHE', 'BHE', 'SEED', '  ', 1, '', 2, 3, 37.8765, -122.2351, 93, 0, 90, 0, 1, 12, 20, 0.0001, 'CG',
  '2003/07/01 00:00:00', '2599/12/31 23:59:59', '2003/07/01 10:00:00'),
 ('HILL', 'XY', 'LHZ', 'LHZ', 'SEED', '00', 1, 'long period', 2, 3, 37.8765, -122.2351, 93, 0, 0, -90, 1, 12, 1, 0.0001, 'CG',
  '2003/07/01 00:00:00', '2599/12/31 23:59:59', '2003/07/01 10:00:00');
