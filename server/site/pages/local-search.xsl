<?xml version="1.0" encoding="UTF-8"?>
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
  <xsl:import href="catalogue.xsl"/>
  <xsl:param name="q" select="''"/>
  <!-- The SCIDs the server's catalogue search found for q, each between blanks. -->
  <xsl:param name="found" select="' '"/>
  <xsl:variable name="query" select="translate(normalize-space($q), $upper, $lower)"/>

  <xsl:template match="/">
    <xsl:call-template name="layout">
      <xsl:with-param name="title" select="'Search local components'"/>
      <xsl:with-param name="section" select="'Local'"/>
      <xsl:with-param name="lead" select="'The search box above the tree finds the components of your local index; here you can search the whole catalogue.'"/>
    </xsl:call-template>
  </xsl:template>

  <xsl:template match="/" mode="content">
    <form class="search" action="/vantrel/localtab/search.jsp" method="get">
      <input type="text" name="q" value="{$q}" aria-label="Search text"/>
      <xsl:text> </xsl:text><button type="submit">Search the catalogue</button>
    </form>
    <xsl:if test="$query != ''">
      <xsl:variable name="hits" select="/components/component[contains($found, concat(' ', @SCID, ' '))]"/>
      <xsl:choose>
        <xsl:when test="$hits">
          <xsl:call-template name="component-table">
            <xsl:with-param name="components" select="$hits"/>
            <xsl:with-param name="link-prefix" select="'/xql.dll/components/vendors/components.bnd?xslsheet=components:/vendors/xsl/rm/component-overview.xsl&amp;xmlpage=components/vendors/components.bnd&amp;scid='"/>
          </xsl:call-template>
        </xsl:when>
        <xsl:otherwise><p class="notice">No catalogued component matches "<xsl:value-of select="$q"/>".</p></xsl:otherwise>
      </xsl:choose>
    </xsl:if>
  </xsl:template>
</xsl:stylesheet>
