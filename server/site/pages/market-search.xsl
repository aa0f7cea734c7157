<?xml version="1.0" encoding="UTF-8"?>
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
  <xsl:import href="catalogue.xsl"/>
  <xsl:param name="sid" select="''"/>
  <xsl:param name="q" select="''"/>
  <!-- The SCIDs the server's catalogue search found for q, each between blanks. -->
  <xsl:param name="found" select="' '"/>
  <xsl:variable name="query" select="translate(normalize-space($q), $upper, $lower)"/>

  <xsl:template match="/">
    <xsl:call-template name="layout">
      <xsl:with-param name="title" select="'Search the Marketplace'"/>
      <xsl:with-param name="section" select="'Marketplace'"/>
      <xsl:with-param name="sid" select="$sid"/>
      <xsl:with-param name="lead" select="'Components whose name, vendor, description, packages or categories contain the text.'"/>
    </xsl:call-template>
  </xsl:template>

  <xsl:template match="/" mode="content">
    <form class="search" action="/vantrel/markettab/search.jsp" method="get">
      <input type="hidden" name="sid" value="{$sid}"/>
      <input type="text" name="q" value="{$q}" aria-label="Search text"/>
      <xsl:text> </xsl:text><button type="submit">Search</button>
    </form>
    <xsl:if test="$query != ''">
      <xsl:variable name="hits" select="/components/component[contains($found, concat(' ', @SCID, ' '))]"/>
      <xsl:choose>
        <xsl:when test="$hits">
          <xsl:call-template name="component-table">
            <xsl:with-param name="components" select="$hits"/>
            <xsl:with-param name="link-prefix" select="'/components/view.jsp?prodid='"/>
            <xsl:with-param name="link-suffix" select="concat('&amp;sid=', $sid)"/>
          </xsl:call-template>
        </xsl:when>
        <xsl:otherwise><p class="notice">No component matches "<xsl:value-of select="$q"/>".</p></xsl:otherwise>
      </xsl:choose>
    </xsl:if>
  </xsl:template>
</xsl:stylesheet>
