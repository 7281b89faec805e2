-- Sample product database of TagDesk, made into share/tagdesk/profile-lumo at build time. On
-- its first start tagdesk copies that file to $HOME/Documents/Tarnwick/profile-lumo where no
-- database exists yet. The row's bh is the product code on line 3 of tconfig.
CREATE TABLE product (
    bh TEXT NOT NULL,
    mc TEXT,
    id INTEGER,
    support TEXT,
    trial INTEGER,
    ver TEXT,
    help TEXT,
    pro INTEGER,
    av TEXT,
    isSupportYoutube INTEGER,
    ad TEXT,
    buy TEXT,
    engine TEXT,
    news TEXT,
    free INTEGER,
    encoder TEXT,
    home TEXT,
    isSupportFile INTEGER,
    jx TEXT,
    xml TEXT
);
INSERT INTO product (bh, mc, id, support, trial, ver, help, pro, av, isSupportYoutube, ad, buy,
                     engine, news, free, encoder, home, isSupportFile, jx, xml)
VALUES ('tagdesk', 'TagDesk', 1, 'http://tarnwick.example/tagdesk/#support', 0, '1.0.0',
        'http://tarnwick.example/tagdesk/help.html', 0, '', 0, '', '',
        'TagLib', 'http://tarnwick.example/tagdesk/#news', 1, '',
        'http://tarnwick.example/tagdesk/', 1, '', 'http://tarnwick.example/tagdesk/version.xml');
