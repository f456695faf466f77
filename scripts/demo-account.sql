-- The three tables of the account database that the tool's database targets rewrite, with the rows they
-- look for, as sample data for the demo database. Run by psql against the database "Account"; running it
-- again starts the tables afresh.
DROP TABLE IF EXISTS TBL_PUBIPS;
DROP TABLE IF EXISTS TBL_SELECTGATEIPS;
DROP TABLE IF EXISTS TBL_SERVERINFO;

CREATE TABLE TBL_PUBIPS (
  FLD_DESCRIPTION varchar(50) PRIMARY KEY,
  FLD_PUBIP varchar(50) NOT NULL
);
INSERT INTO TBL_PUBIPS (FLD_DESCRIPTION, FLD_PUBIP) VALUES
  ('LoginGW', '198.51.100.10'),
  ('LoginServer', '198.51.100.10'),
  ('SET1 DB Conn', '198.51.100.10'),
  ('SET1 GameSrv1', '198.51.100.10');

CREATE TABLE TBL_SELECTGATEIPS (
  FLD_GAMETYPE varchar(10) PRIMARY KEY,
  FLD_IP varchar(50) NOT NULL,
  FLD_NAME varchar(50) NOT NULL,
  FLD_PORT integer NOT NULL
);
INSERT INTO TBL_SELECTGATEIPS (FLD_GAMETYPE, FLD_IP, FLD_NAME, FLD_PORT) VALUES
  ('MIR3', '198.51.100.10', 'Demo Server', 7100);

CREATE TABLE TBL_SERVERINFO (
  FLD_GAMETYPE varchar(10) PRIMARY KEY,
  FLD_SERVERNAME varchar(50) NOT NULL
);
INSERT INTO TBL_SERVERINFO (FLD_GAMETYPE, FLD_SERVERNAME) VALUES
  ('MIR3', 'Demo Server');
